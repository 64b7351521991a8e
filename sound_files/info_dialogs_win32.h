// The file information dialogs.
#pragma once
#include <windows.h>

#include "sound_files/info_fields.h"

// What the information dialogs show: the current file's format and size,
// the file they read for the detail (in the name code page), and the
// language and number style of the texts.
struct InfoRequest {
  InfoBoxValues values;
  const char* file_name = "";
  InfoTextMode mode;
};

// Opens "InfoBox" over owner, and "InfoDetail" after it when its Detail
// button was pressed. They only show; nothing is chosen.
void OpenInfoDialogs(HWND owner, const InfoRequest& request);
