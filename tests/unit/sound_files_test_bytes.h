// Hand-made sound file bytes for the sound-file tests: WAVE files, MPEG audio
// frames, Ogg identification pages, and in-memory files with a spy on seeks.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sound_files/byte_source.h"
#include "sound_files/mpeg_analysis.h"
#include "sound_files/wave_repair.h"
#include "tests/le_bytes.h"
#include "tests/riff_bytes.h"

using Bytes = std::vector<uint8_t>;

inline void PutTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }
inline void PutU32BE(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
inline Bytes operator+(Bytes a, const Bytes& b) {
  Append(a, b);
  return a;
}

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline std::string ToText(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A chunk: identifier, size, body, and a pad byte for an odd body.
inline Bytes Chunk(const char* id, const Bytes& body, bool pad = true) {
  return ToBytes(riff_bytes::Chunk(id, ToText(body), pad));
}

inline Bytes CodecFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align, uint16_t bits) {
  Bytes f;
  PutU16(f, tag);
  PutU16(f, channels);
  PutU32(f, rate);
  PutU32(f, avg);
  PutU16(f, align);
  PutU16(f, bits);
  return f;
}

inline Bytes PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1) {
  Bytes f;
  const uint16_t align = static_cast<uint16_t>(channels * (bits / 8));
  PutU16(f, tag);
  PutU16(f, channels);
  PutU32(f, rate);
  PutU32(f, rate * align);
  PutU16(f, align);
  PutU16(f, bits);
  return f;
}

// "RIFF", its size (the rest of the file, or `riff_size` when given), the form
// type and the chunks.
inline Bytes Riff(const char* form, const Bytes& chunks, long long riff_size = -1) {
  return ToBytes(riff_bytes::Riff(form, ToText(chunks), riff_size));
}

inline Bytes WaveFile(const Bytes& format, const Bytes& data) {
  Bytes chunks = Chunk("fmt ", format);
  Append(chunks, Chunk("data", data));
  return Riff("WAVE", chunks);
}

// The header of a recording that never closed: both sizes 0, then the data.
inline Bytes UnfinishedRecording(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data) {
  return Riff("WAVE", Chunk("fmt ", PcmFormat(channels, rate, bits)) + ToBytes("data" + riff_bytes::Le32(0)) + data, 0);
}

inline Bytes Pattern(size_t n, uint8_t seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

// MPEG audio frame header fields (layer given as the number 1..3).
struct FrameSpec {
  unsigned sync = 0xFFF;
  unsigned id = 1;
  unsigned layer = 3;
  unsigned protection = 1;
  unsigned bitrate_index = 9;  // 128 kbit/s for MPEG-1 Layer III
  unsigned rate_index = 0;     // 44100 for MPEG-1
  unsigned padding = 0;
  unsigned private_bit = 0;
  unsigned channel_mode = 0;
  unsigned mode_extension = 0;
  unsigned copyright = 0;
  unsigned original = 1;
  unsigned emphasis = 0;
};

inline uint32_t LayerCode(unsigned layer) { return layer == 0 ? 0 : 4 - layer; }

inline uint32_t RawHeader(const FrameSpec& f) {
  return f.sync << 20 | f.id << 19 | LayerCode(f.layer) << 17 | f.protection << 16 | f.bitrate_index << 12 |
         f.rate_index << 10 | f.padding << 9 | f.private_bit << 8 | f.channel_mode << 6 | f.mode_extension << 4 |
         f.copyright << 3 | f.original << 2 | f.emphasis;
}

inline unsigned FrameLength(const FrameSpec& f) {
  MpegHeader h;
  DecodeMpegHeader(RawHeader(f), h);
  const MpegVersion v = MpegVersionOf(h);
  return MpegFrameLength(v, h.layer, MpegBitrate(v, h.layer, h.bitrate_index), MpegSampleRate(v, h.rate_index),
                         h.padding);
}

// One whole frame: header and a body of zeros (or `body`, cut or filled up).
inline Bytes Frame(const FrameSpec& f, Bytes body = {}) {
  Bytes b;
  PutU32BE(b, RawHeader(f));
  const unsigned length = FrameLength(f);
  body.resize(length > 4 ? length - 4 : 0, 0);
  Append(b, body);
  return b;
}

// A frame body carrying a Xing header at `offset`.
inline Bytes XingBody(unsigned offset, uint32_t flags, uint32_t frames) {
  Bytes body(offset, 0);
  PutTag(body, "Xing");
  PutU32BE(body, flags);
  PutU32BE(body, frames);
  PutU32BE(body, 12345);  // byte count (not read)
  return body;
}

// An ID3v2 tag header of the given tag size (7 bits per byte) and the tag body.
inline Bytes Id3Tag(uint32_t size) {
  Bytes b = {'I', 'D', '3', 4, 0, 0, static_cast<uint8_t>(size >> 21 & 0x7F), static_cast<uint8_t>(size >> 14 & 0x7F),
             static_cast<uint8_t>(size >> 7 & 0x7F), static_cast<uint8_t>(size & 0x7F)};
  b.resize(10 + size, 0);
  // Something other than zeros inside the tag, but no 0xFF.
  for (size_t i = 10; i < b.size(); i += 3) b[i] = 'T';
  return b;
}

// The first Ogg page carrying a Vorbis identification packet.
inline Bytes OggIdentification(uint8_t channels, uint32_t rate, int32_t nominal, uint8_t segments = 1) {
  Bytes b;
  PutTag(b, "OggS");
  b.push_back(0);     // version
  b.push_back(2);     // first page of the stream
  b.resize(26, 0);    // granule position, serial, sequence, checksum
  b.push_back(segments);
  for (uint8_t i = 0; i < segments; ++i) b.push_back(30);
  b.push_back(1);
  for (char c : std::string("vorbis")) b.push_back(static_cast<uint8_t>(c));
  PutU32(b, 0);  // version
  b.push_back(channels);
  PutU32(b, rate);
  PutU32(b, 0);  // maximum bitrate
  PutU32(b, static_cast<uint32_t>(nominal));
  PutU32(b, 0);  // minimum bitrate
  b.push_back(0xB8);
  b.push_back(1);
  return b;
}

// The first Ogg page of a stream whose first packet is `packet` (another
// codec's identification header).
inline Bytes OggFirstPage(const Bytes& packet) {
  Bytes b = OggIdentification(1, 8000, 0);
  b.resize(26);
  b.push_back(1);
  b.push_back(static_cast<uint8_t>(packet.size()));
  Append(b, packet);
  return b;
}

// A MemorySource that notes every offset it is moved to.
class SeekSpy : public ByteSource {
 public:
  explicit SeekSpy(const Bytes& bytes) : source_(bytes) {}
  uint32_t Read(void* buffer, uint32_t count) override { return source_.Read(buffer, count); }
  bool Seek(uint32_t offset) override {
    seeks.push_back(offset);
    return source_.Seek(offset);
  }
  uint32_t Position() override { return source_.Position(); }
  uint32_t Size() override { return source_.Size(); }
  std::vector<uint32_t> seeks;

 private:
  MemorySource source_;
};

// A file in memory for the repair, with a switch to make writes fail.
class MemoryFile : public WritableMemorySource {
 public:
  explicit MemoryFile(Bytes data) : WritableMemorySource(std::move(data)) {}
  uint32_t Write(const void* buffer, uint32_t count) override {
    return refuse_writes ? 0 : WritableMemorySource::Write(buffer, count);
  }
  bool refuse_writes = false;
};

// The fields of a built format record.
struct RecordFields {
  uint16_t tag, channels;
  uint32_t rate, avg;
  uint16_t align, bits, cb_size;
};
inline RecordFields Fields(const Bytes& r) {
  return {GetU16(r, 0), GetU16(r, 2), GetU32(r, 4), GetU32(r, 8), GetU16(r, 12), GetU16(r, 14), GetU16(r, 16)};
}
