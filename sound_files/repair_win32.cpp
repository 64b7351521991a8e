// Repair of the current file with plain file functions at absolute offsets.
#include "sound_files/repair_win32.h"

#include <windows.h>

#include "app/app_state_win32.h"
#include "sound_files/wave_repair.h"

namespace {

class HandleFile : public RandomAccessFile {
 public:
  explicit HandleFile(HANDLE file) : file_(file) {}
  bool ReadAt(uint32_t offset, void* buffer, uint32_t count) override {
    DWORD done = 0;
    return MoveTo(offset) && ReadFile(file_, buffer, count, &done, nullptr) && done == count;
  }
  bool WriteAt(uint32_t offset, const void* buffer, uint32_t count) override {
    DWORD done = 0;
    return MoveTo(offset) && WriteFile(file_, buffer, count, &done, nullptr) && done == count;
  }

 private:
  bool MoveTo(uint32_t offset) {
    LONG high = 0;  // with a high part the low part counts as unsigned
    const DWORD low = SetFilePointer(file_, static_cast<LONG>(offset), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
  }
  HANDLE file_;
};

}  // namespace

int RepairWave() {
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExA(app.file_name, GetFileExInfoStandard, &attributes)) return 1;
  // The length checks (a header without data, a file past 4 GB) are the plan's.
  const uint64_t length = static_cast<uint64_t>(attributes.nFileSizeHigh) << 32 | attributes.nFileSizeLow;
  HANDLE file = CreateFileA(app.file_name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HandleFile access(file);
  const int result = RepairWaveFile(access, length);
  CloseHandle(file);
  return result;
}
