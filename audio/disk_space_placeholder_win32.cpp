// Placeholder for the drive measurement until it is built: no figures.
#include "app/app_state_win32.h"
#include "audio/newfile_dialog_win32.h"

DWORD MeasureDiskSpace(const char*) { return 0; }
