// Repair of the current file with plain file functions at absolute offsets.
#include "sound_files/repair_win32.h"

#include <windows.h>

#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/plain_file_win32.h"
#include "sound_files/wave_repair.h"

bool RepairWave() {
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!FileAttributesNamed(current_file.file_name, attributes)) return false;
  // The length checks (a header without data, a file past 4 GB) are the plan's.
  const uint64_t length = static_cast<uint64_t>(attributes.nFileSizeHigh) << 32 | attributes.nFileSizeLow;
  PlainFile file(current_file.file_name, PlainFile::READ_WRITE);
  if (!file.is_open()) return false;
  return RepairWaveFile(file, length);
}
