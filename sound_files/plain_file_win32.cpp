#include "sound_files/plain_file_win32.h"

#include "base/file_names_win32.h"

// A device name opens nothing (a read from a port or a pipe could block).
PlainFile::PlainFile(const char* name, Access access)
    : file_(access == READ_ONLY
                ? OpenFileNamed(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING)
                : OpenFileNamed(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING)) {}

PlainFile::~PlainFile() {
  if (is_open()) CloseHandle(file_);
}

uint32_t PlainFile::Read(void* buffer, uint32_t count) {
  DWORD got = 0;
  if (!ReadFile(file_, buffer, count, &got, nullptr)) return 0;
  position_ += got;
  return got;
}

uint32_t PlainFile::Write(const void* buffer, uint32_t count) {
  DWORD done = 0;
  if (!WriteFile(file_, buffer, count, &done, nullptr)) return 0;
  position_ += done;
  return done;
}

bool PlainFile::Seek(uint32_t offset) {
  LONG high = 0;  // with a high part the low part counts as unsigned: offsets up to 4 GB
  if (SetFilePointer(file_, static_cast<LONG>(offset), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return false;
  position_ = offset;
  return true;
}

uint32_t PlainFile::Size() {
  const DWORD size = GetFileSize(file_, nullptr);
  return size == INVALID_FILE_SIZE ? 0 : size;
}
