// The transport's commands: start, pause and continue, stop, and the bounded
// wait for a stopped recording. They call playback and recording, which use
// the transport's helpers; keeping them apart keeps the includes one-way.
#include "audio/transport_commands_win32.h"

#include "audio/playback_win32.h"
#include "audio/recording_win32.h"
#include "audio/transport_internal_win32.h"
#include "audio/transport_math.h"
#include "audio/run_display_win32.h"
#include "audio/transport_state_win32.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/meter_record_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"

namespace {

// What starting the input again after the reset of a pause or a continue
// came to.
enum class Restart {
  kStarted,
  kStopped,  // the device could not start (it was lost): the recording was
             // stopped, as a stop of the user's would have
  kEnded,    // the device could not start, and the run ended while the
             // message showed
};

Restart RestartInput() {
  if (waveInStart(transport.run.wave_in) == MMSYSERR_NOERROR) {
    // The reset took the position back: the watch takes it afresh.
    WatchRecordingRun();
    return Restart::kStarted;
  }
  ShowFailure(PickId(IDS_REC_FAILED, ja::audio::kRecFailed));
  // Neither paused nor continuing: the run ends here, unless it ended while
  // the message showed.
  SetPauseButtonText(en::audio::kPause);
  if (!transport.run.under_way()) return Restart::kEnded;
  StopRecording();
  return Restart::kStopped;
}

}  // namespace

bool PauseTransport() {
  RunRecord& run = OwnedRun();
  if (run.buffer_count == ON_MEMORY) {
    KillTimer(app.main_window, kDisplayTimer);
    run.pause_time = timeGetTime();
  }
  SetPauseButtonText(en::audio::kCont);
  SetRunPriority(RunPriority::kNormal);
  if (transport.mode == MODE_PLAY) {
    waveOutPause(run.wave_out);
  } else {
    // The input starts again: its position and the clock are taken afresh.
    run.recording.dropouts.Restart();
    waveInReset(run.wave_in);
    const Restart restart = RestartInput();
    if (restart != Restart::kStarted) return restart == Restart::kStopped;
  }
  run.Pause();
  SetFocus(app.main_window);
  if (app.pause_button) SetFocus(app.pause_button);
  return false;
}

bool ResumeTransport() {
  RunRecord& run = OwnedRun();
  if (run.buffer_count == ON_MEMORY) {
    SetTimer(app.main_window, kDisplayTimer, run.timer_interval, nullptr);
    const DWORD now = timeGetTime();
    if (transport.mode == MODE_PLAY) {
      run.run_start_time = ResumePlayStartTime(now, run.run_start_time, run.pause_time, app.windows_version);
    } else {
      RestartMeterWindow();
      // A run never starts with a zero byte rate (ComputeBufferSizes).
      const CurrentFormat& format = current_file.format;
      if (format.BytesPerSec != 0) {
        run.run_start_time = ResumeRecordStartTime(now, current_file.data_total, run.buffer_size, format.BytesPerSec);
      }
    }
  }
  if (transport.mode == MODE_PLAY) {
    SetRunPriority(RunPriority::kRaised);
    waveOutRestart(run.wave_out);
  } else {
    run.recording.dropouts.Restart();
    waveInReset(run.wave_in);
    SetRunPriority(RunPriority::kRaised);
    const Restart restart = RestartInput();
    if (restart != Restart::kStarted) return restart == Restart::kStopped;
  }
  SetPauseButtonText(en::audio::kPause);
  run.Resume();
  return false;
}

void OnStartCommand() {
  if (transport.run.active()) return;
  ClearMeterHolds();
  if (transport.mode == MODE_PLAY) {
    StartPlayback();
  } else if (transport.mode == MODE_REC) {
    StartRecording(false);
  }
}

bool OnPauseCommand() {
  if (!transport.run.active()) {
    if (transport.mode != MODE_REC) return false;
    ClearMeterHolds();
    StartRecording(true);
    return false;
  }
  if (!transport.run.under_way()) return false;  // the run is ending
  return transport.run.paused() ? ResumeTransport() : PauseTransport();
}

void OnStopCommand() {
  if (!transport.run.under_way()) return;
  if (transport.run.paused()) SetPauseButtonText(en::audio::kPause);
  if (transport.mode == MODE_PLAY) {
    StopPlayback();
  } else {
    StopRecording();
  }
}

void OnTransportTimer(UINT_PTR id) {
  if (id == kPlayWatchTimer) {
    OnPlaybackWatchTimer();
    return;
  }
  if (id == kRecordWatchTimer) {
    OnRecordingWatchTimer();
    return;
  }
  if (id == kStopWaitTimer) {
    KillTimer(app.main_window, kStopWaitTimer);
    EndStoppedRecording();
    return;
  }
  if (id != kDisplayTimer || !transport.run.active()) return;
  {
    MainWindowDc dc;
    RunDisplayTick(dc.get(), timeGetTime());
  }
  if (transport.mode == MODE_REC) ApplyTimeLimit(transport.run.position_ms, app.time_limit_margin);
}
