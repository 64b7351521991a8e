#include "base/file_system_win32.h"

#include <windows.h>

#include "base/file_names_win32.h"

int FileKind(const char* path) {
  const DWORD attributes = FileAttributeBits(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 2;
}
