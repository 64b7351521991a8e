// Steps and checks that several end-to-end test files share: GoogleTest
// expectations on top of the driver.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"
#include "resources/resource_ids.h"

namespace e2e {

// Launches TAPEON, expecting it and its window to come up.
inline std::unique_ptr<Tapeon> Start(const TempDir& dir, const std::string& arguments = "") {
  auto app = Launch(dir, arguments);
  EXPECT_TRUE(app->started()) << "could not start " << TapeonPath();
  EXPECT_NE(app->main_window(), nullptr) << "no main window; exit code " << app->ExitCode();
  return app;
}

// Closes the program: "" when it ended with exit code 0, else what went wrong
// (compare with "" in EXPECT_EQ, or in ASSERT_EQ when the test needs its end).
inline std::string CloseExpectingSuccess(Tapeon& app) {
  std::optional<DWORD> code = app.CloseAndWait();
  if (!code) return "the program did not end after WM_CLOSE";
  if (*code != 0) return "exit code " + std::to_string(*code);
  return "";
}

// The three-dimension item of a dialog's system menu, if it has one.
inline std::optional<MenuItem> ThreeDItem(Tapeon& app, HWND dialog) {
  return FindMenuItem(app.SystemMenuOf(dialog), IDM_THREE_D);
}

// Picks that item as the system menu does and waits until its mark shows the
// look switched on or off; false when either does not happen.
inline bool SwitchThreeD(Tapeon& app, HWND dialog, bool on) {
  if (!PostMessageA(dialog, WM_SYSCOMMAND, IDM_THREE_D, 0)) return false;
  return WaitUntil([&] {
    std::optional<MenuItem> item = ThreeDItem(app, dialog);
    return item && item->checked() == on;
  });
}

// A box or dialog of the program other than the one given.
inline HWND WaitForOtherDialog(Tapeon& app, HWND known, DWORD timeout_ms = kTimeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : app.Dialogs())
          if (window != known) found = window;
        return found != nullptr || app.Exited();
      },
      timeout_ms);
  return found;
}

// Reads the box that the dialog opened and answers it.
inline std::optional<MessageBoxInfo> AnswerBoxOver(Tapeon& app, HWND dialog, int button_id) {
  HWND box = WaitForOtherDialog(app, dialog);
  if (!box) return std::nullopt;
  return AnswerBox(box, button_id);
}

// Each control of the dialog shows the text given for its id.
inline void ExpectControlTexts(HWND dialog, std::initializer_list<std::pair<int, std::string>> expected) {
  for (const auto& [id, text] : expected) EXPECT_EQ(ControlText(dialog, id), text) << "control " << id;
}

// Each key of the settings file has the value given for it.
inline void ExpectIniValues(const std::string& path,
                            const std::vector<std::pair<std::string, std::string>>& expected) {
  for (const auto& [key, value] : expected) EXPECT_EQ(IniValue(path, key), value) << key;
}

}  // namespace e2e
