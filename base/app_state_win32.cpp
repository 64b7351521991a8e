#include "base/app_state_win32.h"

AppState app;

bool IsRecordingLive() { return app.running && app.mode == MODE_REC && !app.paused; }
