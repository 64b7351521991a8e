// Every label of every dialog and of the main window shows its whole text, in
// the language of the run, with the fonts the system really gives (under
// Wine's Japanese setup the dialog font is a TrueType Gothic, wider than the
// bitmap font the templates were laid out for). The texts are measured
// inside the program (a font handle means nothing in another process).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_helpers.h"
#include "resources/resource_ids.h"

using namespace e2e;

namespace {

// "control 124 "db表示(&D)": 52 px of text in 41 px" for each text cut off.
std::string CutTexts(Tapeon& app, HWND window, const std::string& name) {
  std::string cut;
  const std::vector<Tapeon::TextFit> fits = app.MeasureTexts(window);
  if (fits.empty()) return name + ": no label measured\n";
  // The tightest label, for the log.
  const Tapeon::TextFit* tightest = &fits.front();
  for (const Tapeon::TextFit& fit : fits)
    if (fit.available - fit.needed < tightest->available - tightest->needed) tightest = &fit;
  std::printf("%s: %zu labels; tightest: control %d, %d px of text in %d px\n", name.c_str(), fits.size(), tightest->id,
              tightest->needed, tightest->available);
  for (const Tapeon::TextFit& fit : fits) {
    if (fit.fits) continue;
    cut += name + ": control " + std::to_string(fit.id) + " \"" + fit.text + "\": " + std::to_string(fit.needed) +
           " px of text in " + std::to_string(fit.available) + " px\n";
  }
  return cut;
}

// Opens a dialog with the command, measures it and closes it with `close`.
std::string CheckDialog(Tapeon& app, int command, const std::string& name, int close) {
  if (!app.PostCommand(command)) return name + ": the command could not be sent\n";
  HWND dialog = app.WaitForDialog();
  if (!dialog) return name + ": did not open\n";
  std::string cut = CutTexts(app, dialog, name);
  if (name == "Info") {
    const std::vector<HWND> before = app.Dialogs();
    PressButton(dialog, IDC_INFO_DETAIL);
    HWND detail = nullptr;
    WaitUntil([&] {
      for (HWND shown : app.Dialogs())
        if (shown != dialog) detail = shown;
      return detail != nullptr;
    });
    cut += detail ? CutTexts(app, detail, "Detail") : "Detail: did not open\n";
    if (detail) {
      PressButton(detail, IDOK);
      WaitGone(detail);
    }
  }
  PressButton(dialog, close);
  if (!app.WaitForNoDialog()) cut += name + ": did not close\n";
  return cut;
}

TEST(TextFit, EveryLabelShowsItsWholeText) {
  if (!FileExists(FixturePath("info_pcm.wav"))) GTEST_SKIP() << "make the fixtures with tests/fixtures/info.sh";
  TempDir dir;
  auto app = Start(dir, FixturePath("info_pcm.wav"));
  ASSERT_NE(app->main_window(), nullptr);
  std::string cut = CutTexts(*app, app->main_window(), "main window");
  cut += CheckDialog(*app, IDM_OPTION, "Option", IDCANCEL);
  cut += CheckDialog(*app, IDM_NEW, "New file", IDCANCEL);
  cut += CheckDialog(*app, IDM_ABOUT, "About", IDOK);
  cut += CheckDialog(*app, IDM_INFO, "Info", IDOK);
  EXPECT_EQ(cut, "") << (JapaneseSession() ? "Japanese" : "English");
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}

}  // namespace
