// Bounded byte access for the sound-file parsers: a positioned source of bytes
// (the one file interface of the parsers and the repair: a file on Windows, a
// memory block in tests and fuzzing), a cursor
// that reads little- and big-endian numbers without ever passing the end of
// its bytes, and a little-endian writer for the records the parsers build.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

// A file-like source with a current position. Offsets are 32-bit, as in the
// multimedia file functions.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to count bytes at the current position and moves past them.
  // Returns how many were read: fewer at the end, 0 past it or on failure.
  virtual uint32_t Read(void* buffer, uint32_t count) = 0;
  // Moves to an absolute offset (the end or beyond is allowed; reads there
  // return 0). False when the source cannot move.
  virtual bool Seek(uint32_t offset) = 0;
  virtual uint32_t Position() = 0;
  // Length of the whole source in bytes.
  virtual uint32_t Size() = 0;
  // Writes count bytes at the current position and moves past them. Returns
  // how many were written; a source opened for reading writes nothing.
  virtual uint32_t Write(const void* /*buffer*/, uint32_t /*count*/) { return 0; }
};

// True when exactly count bytes were read.
inline bool ReadExact(ByteSource& source, void* buffer, uint32_t count) {
  return source.Read(buffer, count) == count;
}

// True when exactly count bytes were read, or written, at an absolute offset
// (one that 32-bit offsets reach).
inline bool ReadAt(ByteSource& source, uint64_t offset, void* buffer, uint32_t count) {
  return offset <= 0xFFFFFFFFu && source.Seek(static_cast<uint32_t>(offset)) && ReadExact(source, buffer, count);
}
inline bool WriteAt(ByteSource& source, uint64_t offset, const void* buffer, uint32_t count) {
  return offset <= 0xFFFFFFFFu && source.Seek(static_cast<uint32_t>(offset)) && source.Write(buffer, count) == count;
}

// What the memory sources share: the position, which may stand anywhere, and
// reads that stop at the end of the bytes.
class PositionedMemory : public ByteSource {
 public:
  bool Seek(uint32_t offset) override {
    position_ = offset;
    return true;
  }
  uint32_t Position() override { return position_; }

 protected:
  // How many of count bytes lie between the position and the end.
  uint32_t Fits(uint32_t count) {
    const uint32_t size = Size();
    if (position_ >= size) return 0;
    return count < size - position_ ? count : size - position_;
  }
  // Read from the source's bytes, data.
  uint32_t ReadFrom(const uint8_t* data, void* buffer, uint32_t count) {
    const uint32_t n = Fits(count);
    if (n) std::memcpy(buffer, data + position_, n);
    position_ += n;
    return n;
  }
  uint32_t position_ = 0;
};

// A ByteSource over bytes held in memory (not copied; they must outlive it).
class MemorySource final : public PositionedMemory {
 public:
  MemorySource(const uint8_t* data, size_t size)
      : data_(data), size_(size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size)) {}
  explicit MemorySource(const std::vector<uint8_t>& bytes) : MemorySource(bytes.data(), bytes.size()) {}

  uint32_t Read(void* buffer, uint32_t count) override { return ReadFrom(data_, buffer, count); }
  uint32_t Size() override { return size_; }

 private:
  const uint8_t* data_;
  uint32_t size_;
};

// A ByteSource over a byte vector it owns, that can also be written in place
// (never grown): the repaired file in tests and fuzzing.
class WritableMemorySource : public PositionedMemory {
 public:
  explicit WritableMemorySource(std::vector<uint8_t> data) : bytes(std::move(data)) {}
  uint32_t Read(void* buffer, uint32_t count) override { return ReadFrom(bytes.data(), buffer, count); }
  uint32_t Write(const void* buffer, uint32_t count) override {
    if (Fits(count) != count) return 0;
    std::memcpy(bytes.data() + position_, buffer, count);
    position_ += count;
    return count;
  }
  uint32_t Size() override { return bytes.size() > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes.size()); }

  std::vector<uint8_t> bytes;
};

// Reads numbers from a block of bytes. Every read is checked against the end;
// a read that does not fit yields 0 and clears ok() for good, so a sequence of
// reads can be checked once at the end.
class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return offset_ <= size_ ? size_ - offset_ : 0; }

  // Moves to an absolute offset within the block.
  void SeekTo(size_t offset) {
    if (offset > size_) {
      ok_ = false;
      offset_ = size_;
    } else {
      offset_ = offset;
    }
  }
  void Skip(size_t count) { SeekTo(count <= remaining() ? offset_ + count : size_ + 1); }

  uint8_t U8() {
    const uint8_t* p = Take(1);
    return p ? p[0] : 0;
  }
  uint16_t U16LE() {
    const uint8_t* p = Take(2);
    return p ? static_cast<uint16_t>(p[0] | p[1] << 8) : 0;
  }
  uint32_t U32LE() {
    const uint8_t* p = Take(4);
    return p ? static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
                   static_cast<uint32_t>(p[3]) << 24
             : 0;
  }
  uint32_t U32BE() {
    const uint8_t* p = Take(4);
    return p ? static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                   static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3])
             : 0;
  }
  // True when the next four bytes are the four characters of tag; moves past
  // them either way.
  bool Tag(const char* tag) {
    const uint8_t* p = Take(4);
    return p && std::memcmp(p, tag, 4) == 0;
  }

 private:
  const uint8_t* Take(size_t count) {
    if (!ok_ || count > remaining()) {
      ok_ = false;
      return nullptr;
    }
    const uint8_t* p = data_ + offset_;
    offset_ += count;
    return p;
  }

  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool ok_ = true;
};

// Appends little-endian numbers to a byte vector (the format records).
class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::vector<uint8_t>& out) : out_(out) {}
  void U8(uint8_t value) { out_.push_back(value); }
  void U16(uint16_t value) {
    out_.push_back(static_cast<uint8_t>(value));
    out_.push_back(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out_.push_back(static_cast<uint8_t>(value >> shift));
  }

 private:
  std::vector<uint8_t>& out_;
};

// The four characters of a chunk identifier as the little-endian number the
// multimedia functions use ("RIFF" -> 0x46464952).
constexpr uint32_t FourCC(const char (&text)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}
