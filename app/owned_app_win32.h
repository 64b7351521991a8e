// The one place the program's AppState is written from: app/ alone calls
// OwnedApp; everyone else reads the const app (base/app_state_win32.h).
#pragma once
#include "base/app_state_win32.h"

AppState& OwnedApp();
