// Placeholders for the audio engine until it is built: every start is
// refused with a plain message, nothing claims success.
#include "app/app_state_win32.h"
#include "app/ui_text_win32.h"
#include "audio/playback_win32.h"
#include "audio/recording_win32.h"
#include "audio/transport_win32.h"

static void NotBuilt(const char* what) { ShowFailure(what); }

void ComputeBufferSizes(const FormatRecord*) {}
bool AllocateDataBlocks() { return false; }
void FreeDataBlocks() {}
void SetRunControls(int) {}
void SetIdleControls(int) {}
void SetRunPriority(int raise) {
  SetPriorityClass(GetCurrentProcess(), raise ? REALTIME_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}
void PaceBuffer(DWORD) {}
void StartDisplayTimer() {}
void PauseTransport() {}
void ResumeTransport() {}
void OnStartCommand() { NotBuilt("transport not built yet"); }
void OnPauseCommand() { NotBuilt("transport not built yet"); }
void OnStopCommand() {}
void EndRun() {}
void AbandonTransport() {
  if (app.file_mmio) {
    mmioClose(app.file_mmio, 0);
    app.file_mmio = nullptr;
  }
}
void RemoveEmptyFile() {}
void ShutdownTransport() { AbandonTransport(); }

bool StartRecording() {
  NotBuilt("recording not built yet");
  return false;
}
void OnRecordBlockFilled(WAVEHDR*) {}
void StopRecording() {}
void ReportHeaderFailure() {}

void StartPlayback() { NotBuilt("playback not built yet"); }
void OnPlayBlockDone(WAVEHDR*) {}
void StopPlayback() {}
void ReportReadFailure(int, DWORD) {}

