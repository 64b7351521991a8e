// The transport's commands: start, pause and continue, stop, and the bounded
// wait for a stopped recording. They call playback and recording, which use
// the transport's helpers; keeping them apart keeps the includes one-way.
#include "audio/transport_commands_win32.h"

#include "audio/playback_win32.h"
#include "audio/recorded_sound_win32.h"
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

// A pause or a continue could not start the input again and stopped the run.
bool input_lost = false;

// Starts the input again after the reset of a pause or a continue. A device
// that cannot start (it was lost) ends the recording with its message, as a
// stop would.
bool RestartInput() {
  if (waveInStart(transport.wave_in) == MMSYSERR_NOERROR) {
    // The reset took the position back: the watch takes it afresh.
    WatchRecordingRun();
    return true;
  }
  ShowFailure(PickId(IDS_REC_FAILED, ja::audio::kRecFailed));
  // Neither paused nor continuing: the run ends here, unless it ended while
  // the message showed.
  SetPauseButtonText(en::audio::kPause);
  if (transport.run.under_way()) {
    input_lost = true;
    StopRecording();
  }
  return false;
}

}  // namespace

void PauseTransport() {
  if (transport.buffer_count == ON_MEMORY) {
    KillTimer(app.main_window, kDisplayTimer);
    OwnedTransport().pause_time = timeGetTime();
  }
  SetPauseButtonText(en::audio::kCont);
  SetRunPriority(RunPriority::kNormal);
  if (transport.mode == MODE_PLAY) {
    waveOutPause(transport.wave_out);
  } else {
    // The input starts again: its position and the clock are taken afresh.
    RunDropouts().Restart();
    waveInReset(transport.wave_in);
    if (!RestartInput()) return;
  }
  OwnedTransport().run.Pause();
  SetFocus(app.main_window);
  if (app.pause_button) SetFocus(app.pause_button);
}

void ResumeTransport() {
  if (transport.buffer_count == ON_MEMORY) {
    SetTimer(app.main_window, kDisplayTimer, transport.timer_interval, nullptr);
    const DWORD now = timeGetTime();
    if (transport.mode == MODE_PLAY) {
      OwnedTransport().run_start_time = ResumePlayStartTime(now, transport.run_start_time, transport.pause_time, app.windows_version);
    } else {
      RestartMeterWindow();
      // A run never starts with a zero byte rate (ComputeBufferSizes).
      if (current_file.format.BytesPerSec != 0) {
        OwnedTransport().run_start_time = ResumeRecordStartTime(now, current_file.data_total, transport.buffer_size, current_file.format.BytesPerSec);
      }
    }
  }
  if (transport.mode == MODE_PLAY) {
    SetRunPriority(RunPriority::kRaised);
    waveOutRestart(transport.wave_out);
  } else {
    RunDropouts().Restart();
    waveInReset(transport.wave_in);
    SetRunPriority(RunPriority::kRaised);
    if (!RestartInput()) return;
  }
  SetPauseButtonText(en::audio::kPause);
  OwnedTransport().run.Resume();
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
  input_lost = false;
  if (transport.run.paused()) {
    ResumeTransport();
  } else {
    PauseTransport();
  }
  return input_lost;
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
  if (transport.mode == MODE_REC) ApplyTimeLimit(transport.position_ms, app.time_limit_margin);
}
