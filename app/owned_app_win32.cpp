#include "app/owned_app_win32.h"

namespace {
AppState state;
}  // namespace

const AppState& app = state;

AppState& OwnedApp() { return state; }
