// The transport's commands: start, pause and continue, stop, and the bounded
// wait for a stopped recording. They call playback and recording, which use
// the transport's helpers; keeping them apart keeps the includes one-way.
#include "audio/transport_commands_win32.h"

#include "audio/playback_win32.h"
#include "audio/recorded_sound_win32.h"
#include "audio/recording_win32.h"
#include "audio/transport_internal_win32.h"
#include "audio/transport_math.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"

namespace {

// Starts the input again after the reset of a pause or a continue. A device
// that cannot start (it was lost) ends the recording with its message, as a
// stop would.
bool RestartInput() {
  if (waveInStart(app.wave_in) == MMSYSERR_NOERROR) return true;
  ShowFailure(PickId(IDS_REC_FAILED, ja::audio::kRecFailed));
  // Neither paused nor continuing: the run ends here, unless it ended while
  // the message showed.
  SetPauseButtonText(en::audio::kPause);
  if (app.run.under_way()) StopRecording();
  return false;
}

}  // namespace

void PauseTransport() {
  if (app.buffer_count == ON_MEMORY) {
    KillTimer(app.main_window, kDisplayTimer);
    app.pause_time = timeGetTime();
  }
  SetPauseButtonText(en::audio::kCont);
  SetRunPriority(RunPriority::kNormal);
  if (app.mode == MODE_PLAY) {
    waveOutPause(app.wave_out);
  } else {
    // The input starts again: its position and the clock are taken afresh.
    RunDropouts().Restart();
    waveInReset(app.wave_in);
    if (!RestartInput()) return;
  }
  app.run.Pause();
  SetFocus(app.main_window);
  if (app.pause_button) SetFocus(app.pause_button);
}

void ResumeTransport() {
  if (app.buffer_count == ON_MEMORY) {
    SetTimer(app.main_window, kDisplayTimer, app.timer_interval, nullptr);
    const DWORD now = timeGetTime();
    if (app.mode == MODE_PLAY) {
      app.run_start_time = ResumePlayStartTime(now, app.run_start_time, app.pause_time, app.windows_version);
    } else {
      app.meter.metered_end = 0;
      // A run never starts with a zero byte rate (ComputeBufferSizes).
      if (app.BytesPerSec != 0) {
        app.run_start_time = ResumeRecordStartTime(now, app.data_total, app.buffer_size, app.BytesPerSec);
      }
    }
  }
  if (app.mode == MODE_PLAY) {
    SetRunPriority(RunPriority::kRaised);
    waveOutRestart(app.wave_out);
  } else {
    RunDropouts().Restart();
    waveInReset(app.wave_in);
    SetRunPriority(RunPriority::kRaised);
    if (!RestartInput()) return;
  }
  SetPauseButtonText(en::audio::kPause);
  app.run.Resume();
}

void OnStartCommand() {
  if (app.run.active()) return;
  app.meter.hold_left = app.meter.hold_right = 0;
  if (app.mode == MODE_PLAY) {
    StartPlayback();
  } else if (app.mode == MODE_REC) {
    StartRecording(false);
  }
}

void OnPauseCommand() {
  if (!app.run.active()) {
    if (app.mode != MODE_REC) return;
    app.meter.hold_left = app.meter.hold_right = 0;
    StartRecording(true);
    return;
  }
  if (!app.run.under_way()) return;  // the run is ending
  if (app.run.paused()) {
    ResumeTransport();
  } else {
    PauseTransport();
  }
}

void OnStopCommand() {
  if (!app.run.under_way()) return;
  if (app.run.paused()) SetPauseButtonText(en::audio::kPause);
  if (app.mode == MODE_PLAY) {
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
  if (id == kStopWaitTimer) {
    KillTimer(app.main_window, kStopWaitTimer);
    EndStoppedRecording();
    return;
  }
  if (id != kDisplayTimer || !app.run.active()) return;
  {
    MainWindowDc dc;
    MeterTick(dc.get(), timeGetTime());
  }
  if (app.mode == MODE_REC) ApplyTimeLimit(app.meter.position_ms, app.time_limit_margin);
}
