#include "base/app_state_win32.h"

AppState app;

bool IsRecordingLive() { return app.run.live() && app.mode == MODE_REC; }
