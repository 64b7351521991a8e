// Test-only DLL that the end-to-end driver loads into TAPEON to read menu
// states and texts from inside the program (see menu_probe.h).
#include <windows.h>

#include "menu_probe.h"

namespace {

void ReadMenu(HMENU menu, int level, menu_probe::Request* request) {
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count && request->count < menu_probe::kMaxItems; ++position) {
    menu_probe::Item& item = request->items[request->count++];
    item.level = level;
    item.position = position;
    UINT state = GetMenuState(menu, position, MF_BYPOSITION);
    HMENU popup = GetSubMenu(menu, position);
    item.id = popup ? 0xFFFFFFFFu : GetMenuItemID(menu, position);
    // For a popup the high byte of the state is its item count.
    item.state = popup ? ((state & 0xFF) | MF_POPUP) : state;
    item.text[0] = 0;
    GetMenuStringA(menu, position, item.text, menu_probe::kTextBytes, MF_BYPOSITION);
    if (popup) ReadMenu(popup, level + 1, request);
  }
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ReadMenus(void* parameter) {
  auto* request = static_cast<menu_probe::Request*>(parameter);
  HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(request->window));
  request->count = 0;
  HMENU menu = request->which == menu_probe::kSystemMenu ? GetSystemMenu(window, FALSE) : GetMenu(window);
  if (!menu) return menu_probe::kNoMenu;
  ReadMenu(menu, 0, request);
  return request->count;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, void*) { return TRUE; }
