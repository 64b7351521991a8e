// A file opened by name with the plain file functions, as a ByteSource: the
// detail dialog reads through it apart from the transport's multimedia file
// handle, and the repair reads and writes through it.
#pragma once
#include <windows.h>

#include "sound_files/byte_source.h"

class PlainFile : public ByteSource {
 public:
  enum Access { READ_ONLY, READ_WRITE };
  PlainFile(const char* name, Access access);
  ~PlainFile() override;
  PlainFile(const PlainFile&) = delete;
  PlainFile& operator=(const PlainFile&) = delete;
  bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }

  uint32_t Read(void* buffer, uint32_t count) override;
  uint32_t Write(const void* buffer, uint32_t count) override;
  bool Seek(uint32_t offset) override;
  uint32_t Position() override { return position_; }
  uint32_t Size() override;

 private:
  HANDLE file_;
  uint32_t position_ = 0;
};
