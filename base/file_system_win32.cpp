#include "base/file_system_win32.h"

#include <windows.h>

int FileKind(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 2;
}
