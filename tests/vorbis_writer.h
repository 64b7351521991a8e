// The tests' one writer of hand-made Ogg Vorbis streams (unit, fuzz and
// end-to-end tests): the three headers with chosen codebooks, floors,
// residues, mappings and modes, silent audio packets, and the Ogg pages that
// carry them (packets of any size, across pages). What it writes is valid
// as far as a decoder checks, so a test can put a setup at exactly the
// limits a decoder accepts. Bytes in a std::string. Portable.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/le_bytes.h"

namespace vorbis_writer {

// Bits least significant first, as Vorbis packets hold them.
class BitWriter {
 public:
  void Put(uint64_t value, int bits) {
    for (int k = 0; k < bits; ++k) {
      if (count_ % 8 == 0) bytes_.push_back('\0');
      if ((value >> k) & 1) bytes_.back() = static_cast<char>(bytes_.back() | (1 << (count_ % 8)));
      ++count_;
    }
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  uint64_t count_ = 0;
};

inline int ILog(uint64_t v) {
  int n = 0;
  for (; v != 0; v >>= 1) ++n;
  return n;
}

// A codebook whose entries all have codes of `length` bits (a complete
// code when entries == 2^length), listed entry by entry or ordered (a few
// bits whatever the count), with a value table for residue books.
struct Book {
  uint32_t dimensions = 1;
  uint32_t entries = 2;
  int length = 1;
  bool ordered = false;
  int lookup = 0;  // 0: none; 1 or 2: values 0, 1, ... of value_bits each
  int value_bits = 1;
};

// Floor type 1 with `partitions` partitions of one class of `class_dim`
// posts (no subclasses, so no books).
struct Floor1 {
  int partitions = 0;
  int class_dim = 1;
  int rangebits = 8;
};

// Residue of type 0, 1 or 2 over [begin, end), vectors of `grouping`,
// `partitions` classes picked by the book `groupbook`; each class with the
// stages of the bit mask `cascade` coded by `stage_book`.
struct Residue {
  int type = 0;
  uint32_t begin = 0;
  uint32_t end = 0;
  uint32_t grouping = 1;
  int partitions = 1;
  int groupbook = 0;
  int cascade = 0;
  int stage_book = 0;
};

struct Mapping {
  int floor = 0;
  int residue = 0;
};

struct Mode {
  bool long_block = false;
  int mapping = 0;
};

struct Setup {
  std::vector<Book> books{Book{}};
  std::vector<Floor1> floors{Floor1{}};
  std::vector<Residue> residues{Residue{}};
  std::vector<Mapping> mappings{Mapping{}};
  std::vector<Mode> modes{Mode{}};
  // Zero bytes after the framing bit, which no decoder reads: a setup of a
  // few bits made as large as a decoder's bounds want.
  size_t padding = 0;
};

// Block sizes 2^short_exponent and 2^long_exponent (6 to 13).
inline std::string IdentHeader(int channels, uint32_t rate, uint32_t nominal_bitrate = 0, int short_exponent = 8,
                               int long_exponent = 11) {
  std::string p = std::string("\x01vorbis", 7) + Le32(0) + static_cast<char>(channels) + Le32(rate) + Le32(0) +
                  Le32(nominal_bitrate) + Le32(0);
  p += static_cast<char>(short_exponent | (long_exponent << 4));
  p += '\x01';
  return p;
}

// A comment header with `comments` empty comments.
inline std::string CommentHeader(uint32_t comments = 0) {
  std::string p = std::string("\x03vorbis", 7) + Le32(0) + Le32(comments);
  p.append(static_cast<size_t>(comments) * 4, '\0');
  p += '\x01';
  return p;
}

inline std::string SetupHeader(const Setup& s) {
  BitWriter w;
  w.Put(static_cast<uint64_t>(s.books.size() - 1), 8);
  for (const Book& b : s.books) {
    w.Put(0x564342, 24);
    w.Put(b.dimensions, 16);
    w.Put(b.entries, 24);
    w.Put(b.ordered ? 1 : 0, 1);
    if (b.ordered) {
      w.Put(static_cast<uint64_t>(b.length - 1), 5);
      w.Put(b.entries, ILog(b.entries));
    } else {
      w.Put(0, 1);  // not sparse
      for (uint32_t e = 0; e < b.entries; ++e) w.Put(static_cast<uint64_t>(b.length - 1), 5);
    }
    w.Put(static_cast<uint64_t>(b.lookup), 4);
    if (b.lookup == 1 || b.lookup == 2) {
      w.Put(0, 32);                   // minimum 0
      w.Put(788u << 21 | 1u, 32);     // delta 1: mantissa 1, exponent 788 - 788
      w.Put(static_cast<uint64_t>(b.value_bits - 1), 4);
      w.Put(0, 1);
      uint64_t values = 0;
      if (b.lookup == 1) {
        // The greatest v with v^dimensions <= entries.
        while (true) {
          uint64_t product = 1;
          for (uint32_t d = 0; d < b.dimensions && product <= b.entries; ++d) product *= values + 1;
          if (product > b.entries) break;
          ++values;
        }
      } else {
        values = static_cast<uint64_t>(b.entries) * b.dimensions;
      }
      for (uint64_t v = 0; v < values; ++v) w.Put(v & ((1u << b.value_bits) - 1), b.value_bits);
    }
  }
  w.Put(0, 6);  // one time-domain transform
  w.Put(0, 16);
  w.Put(static_cast<uint64_t>(s.floors.size() - 1), 6);
  for (const Floor1& f : s.floors) {
    w.Put(1, 16);
    w.Put(static_cast<uint64_t>(f.partitions), 5);
    for (int p = 0; p < f.partitions; ++p) w.Put(0, 4);  // class 0
    if (f.partitions > 0) {
      w.Put(static_cast<uint64_t>(f.class_dim - 1), 3);
      w.Put(0, 2);  // no subclasses
      w.Put(0, 8);  // subbook -1: none
    }
    w.Put(0, 2);  // multiplier 1
    w.Put(static_cast<uint64_t>(f.rangebits), 4);
    // Distinct positions 2, 3, ... (0 and the range's end are implied).
    for (int k = 0; k < f.partitions * f.class_dim; ++k) w.Put(static_cast<uint64_t>(k + 2), f.rangebits);
  }
  w.Put(static_cast<uint64_t>(s.residues.size() - 1), 6);
  for (const Residue& r : s.residues) {
    w.Put(static_cast<uint64_t>(r.type), 16);
    w.Put(r.begin, 24);
    w.Put(r.end, 24);
    w.Put(r.grouping - 1, 24);
    w.Put(static_cast<uint64_t>(r.partitions - 1), 6);
    w.Put(static_cast<uint64_t>(r.groupbook), 8);
    int stages = 0;
    for (int p = 0; p < r.partitions; ++p) {
      w.Put(static_cast<uint64_t>(r.cascade & 7), 3);
      w.Put(r.cascade > 7 ? 1 : 0, 1);
      if (r.cascade > 7) w.Put(static_cast<uint64_t>(r.cascade >> 3), 5);
      for (int bit = 0; bit < 8; ++bit) stages += (r.cascade >> bit) & 1;
    }
    for (int k = 0; k < stages; ++k) w.Put(static_cast<uint64_t>(r.stage_book), 8);
  }
  w.Put(static_cast<uint64_t>(s.mappings.size() - 1), 6);
  for (const Mapping& m : s.mappings) {
    w.Put(0, 16);
    w.Put(0, 1);  // one submap
    w.Put(0, 1);  // no coupling
    w.Put(0, 2);
    w.Put(0, 8);
    w.Put(static_cast<uint64_t>(m.floor), 8);
    w.Put(static_cast<uint64_t>(m.residue), 8);
  }
  w.Put(static_cast<uint64_t>(s.modes.size() - 1), 6);
  for (const Mode& m : s.modes) {
    w.Put(m.long_block ? 1 : 0, 1);
    w.Put(0, 16);
    w.Put(0, 16);
    w.Put(static_cast<uint64_t>(m.mapping), 8);
  }
  w.Put(1, 1);  // framing
  std::string p = std::string("\x05vorbis", 7) + w.bytes();
  if (p.size() < s.padding) p.resize(s.padding, '\0');
  return p;
}

// An audio packet of `mode` in which every channel is silent (floor 1
// unused): a byte or two, whatever the block size.
inline std::string SilentPacket(const Setup& s, int channels, int mode = 0) {
  BitWriter w;
  w.Put(0, 1);  // audio
  w.Put(static_cast<uint64_t>(mode), ILog(s.modes.size() - 1));
  if (s.modes[static_cast<size_t>(mode)].long_block) w.Put(3, 2);  // long windows either side
  for (int c = 0; c < channels; ++c) w.Put(0, 1);
  return w.bytes();
}

// CRC-32 of a page (polynomial 0x04C11DB7, no reflection), a byte at a
// time through a table: streams of a hundred megabytes are written.
inline uint32_t OggCrc(const std::string& data) {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(256);
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t crc = n << 24;
      for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
      t[n] = crc;
    }
    return t;
  }();
  uint32_t crc = 0;
  for (unsigned char byte : data) crc = (crc << 8) ^ table[(crc >> 24) ^ byte];
  return crc;
}

// Ogg pages of one logical stream. Add packets; a page is closed by Flush
// or when it holds 255 segments (a larger packet goes on in the next page).
class PageWriter {
 public:
  explicit PageWriter(uint32_t serial) : serial_(serial) {}

  // `granule`: the position once this packet is decoded (written on the
  // page where it ends).
  void Add(const std::string& packet, int64_t granule = 0) {
    size_t at = 0;
    for (;;) {
      const size_t n = std::min<size_t>(255, packet.size() - at);
      lacing_ += static_cast<char>(n);
      body_ += packet.substr(at, n);
      at += n;
      if (n < 255) break;
      if (lacing_.size() == 255) Emit(true);
    }
    granule_ = granule;
    if (lacing_.size() == 255) Emit(false);
  }
  // Closes the page under way; `last` marks the end of the stream.
  void Flush(bool last = false) {
    if (!lacing_.empty() || last) Emit(false, last);
  }
  const std::string& bytes() const { return out_; }

 private:
  // The page's granule position is that of the last packet ending on it
  // (-1 when none does).
  void Emit(bool packet_goes_on, bool last = false) {
    std::string page = "OggS";
    page += '\0';
    char flags = 0;
    if (continued_) flags |= 1;
    if (sequence_ == 0) flags |= 2;
    if (last) flags |= 4;
    page += flags;
    for (int k = 0; k < 8; ++k) page += static_cast<char>(static_cast<uint64_t>(granule_) >> (8 * k));
    page += Le32(serial_) + Le32(sequence_++) + Le32(0);
    page += static_cast<char>(lacing_.size());
    page += lacing_ + body_;
    const uint32_t crc = OggCrc(page);
    page.replace(22, 4, Le32(crc));
    out_ += page;
    lacing_.clear();
    body_.clear();
    continued_ = packet_goes_on;
    granule_ = -1;
  }

  uint32_t serial_;
  uint32_t sequence_ = 0;
  std::string lacing_, body_, out_;
  int64_t granule_ = -1;
  bool continued_ = false;
};

// A whole stream: the identification header on its own first page, the
// comment and setup headers, then `packets` silent packets of the modes in
// turn, `per_page` to a page, with their granule positions; each packet
// padded with `packet_padding` zero bytes, which no decoder reads (a stream
// long in bytes that decodes quickly).
struct Stream {
  int channels = 2;
  uint32_t rate = 44100;
  uint32_t nominal_bitrate = 0;
  int short_exponent = 8;
  int long_exponent = 11;
  uint32_t comments = 0;
  Setup setup;
  uint64_t packets = 0;
  int per_page = 64;
  size_t packet_padding = 0;
  uint32_t serial = 0x5EED;
};

inline std::string Write(const Stream& s) {
  PageWriter w(s.serial);
  w.Add(IdentHeader(s.channels, s.rate, s.nominal_bitrate, s.short_exponent, s.long_exponent));
  w.Flush();
  w.Add(CommentHeader(s.comments));
  w.Add(SetupHeader(s.setup));
  w.Flush();
  int64_t granule = 0;
  int previous = -1;
  for (uint64_t k = 0; k < s.packets; ++k) {
    const int mode = static_cast<int>(k % s.setup.modes.size());
    const int size = 1 << (s.setup.modes[static_cast<size_t>(mode)].long_block ? s.long_exponent : s.short_exponent);
    if (previous > 0) granule += previous / 4 + size / 4;
    previous = size;
    w.Add(SilentPacket(s.setup, s.channels, mode) + std::string(s.packet_padding, '\0'), granule);
    if ((k + 1) % static_cast<uint64_t>(s.per_page) == 0) w.Flush();
  }
  w.Flush(true);
  return w.bytes();
}

}  // namespace vorbis_writer
