// The codec driver's message layer (codec/acm_driver.h) driven as the
// compression manager and its callers drive it, by a sequence of driver
// messages read from the input: stream opens with format records in heap
// blocks of exactly their size, size queries with 0 and huge lengths,
// conversions with START and END and destinations of 0, less than a frame
// or the estimate, resets, closes, two streams interleaved, the details and
// suggestion queries with records of any size, and messages of any number.
// libogg and libvorbis carry the same instrumentation
// (codec/build_libs.sh --fuzz).
//
// Checked on every call: the answer is one of the manager's codes, no more
// source or destination is used than given, every write stays within the
// record's size (the sanitizer sees each record as a block of its own), and
// the heap in use never exceeds the budgets of the open streams and a
// margin, as a 32-bit host would need (each stream's own budget is held by
// the driver, whatever the stream).
//
// Built with -DCODEC_DRIVER_CORPUS instead, it is the program that writes
// the seed corpus (tests/fuzz/corpus/codec_driver_fuzz) with the stream
// writer of the tests: streams whose setups sit at the decoder's limits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef CODEC_DRIVER_CORPUS
#include "codec/acm_driver.h"
#include "codec/stream_budget.h"
#endif

namespace {

// The operations of an input, each an opcode byte and its operands.
enum Op : uint8_t {
  kOpen,         // slot, flags, source record, destination record
  kSize,         // slot, query, length kind [, length]
  kConvert,      // slot, flags, source length (3 bytes) and its bytes, destination kind [, size]
  kReset,        // slot
  kClose,        // slot
  kDetails,      // which query, record size, fields
  kSuggest,      // flags, record sizes, source record
  kAnyMessage,   // message number (2 bytes), no records
  kOpCount
};
// Kinds of a length operand of a size query.
enum Length : uint8_t { kZero, kHuge, kShort, kLong, kLengthCount };
// Kinds of a conversion's destination.
enum Room : uint8_t { kNoRoom, kPartOfFrame, kRoomGiven, kRoomEstimated, kRoomCount };
// Kinds of a format record operand.
enum Tag : uint8_t { kTagVorbis, kTagPcm, kTagExtensible, kTagOther };
constexpr uint16_t kVorbisTag = 0x674F;

}  // namespace

#ifndef CODEC_DRIVER_CORPUS

namespace {

// The largest destination a conversion is given (the estimate, or a size
// read from the input, is cut to it): what a real caller would allocate.
constexpr size_t kLargestDestination = 1u << 20;

// ---- the heap watch ----

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void*);

// Beyond the open streams' budgets: the harness's own records and buffers
// (at most a source of the input's size and one destination) and what the
// C library allocates for itself while sorting a codebook.
constexpr size_t kHeapMargin = 16u << 20;
bool watching = false;
size_t live = 0;
size_t limit = 0;

void OnMalloc(const volatile void*, size_t size) {
  if (!watching) return;
  live += size;
  if (live > limit) {
    std::fprintf(stderr, "heap in use %zu bytes, more than the %zu the open streams may have\n", live, limit);
    std::abort();
  }
}
void OnFree(const volatile void* block) {
  if (watching && block != nullptr) live -= std::min(live, __sanitizer_get_allocated_size(block));
}

// ---- reading the input ----

// The input as operands; past its end every read gives zeros and ok() is
// false for good.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t U8() {
    if (at_ >= size_) {
      ok_ = false;
      return 0;
    }
    return data_[at_++];
  }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
  // Up to `count` bytes of the input as they are.
  const uint8_t* Take(size_t count, size_t* got) {
    *got = std::min(count, size_ - at_);
    const uint8_t* p = data_ + at_;
    at_ += *got;
    return p;
  }
  bool ok() const { return ok_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

// A heap block of exactly `size` bytes (at least one), freed with the owner.
struct Block {
  explicit Block(size_t size) : bytes(static_cast<uint8_t*>(std::malloc(size ? size : 1))), size(size) {}
  ~Block() { std::free(bytes); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  uint8_t* bytes;
  size_t size;
};

// A format record as the manager hands one over: plain PCM as 16 bytes,
// any other with its cbSize bytes of extension.
Block* ReadRecord(Cursor& in) {
  const uint8_t kind = in.U8() % 4;
  uint16_t tag = kind == kTagVorbis ? kVorbisTag
                 : kind == kTagPcm  ? WAVE_FORMAT_PCM
                 : kind == kTagExtensible ? WAVE_FORMAT_EXTENSIBLE
                                          : in.U16();
  WAVEFORMATEX f = {};
  f.wFormatTag = tag;
  f.nChannels = in.U8();
  f.nSamplesPerSec = in.U32();
  f.nAvgBytesPerSec = in.U32();
  f.nBlockAlign = in.U16();
  f.wBitsPerSample = in.U16();
  f.cbSize = in.U8();
  const size_t size = tag == WAVE_FORMAT_PCM ? sizeof(PCMWAVEFORMAT) : sizeof(WAVEFORMATEX) + f.cbSize;
  auto* record = new Block(size);
  std::memcpy(record->bytes, &f, std::min(size, sizeof f));
  for (size_t k = sizeof f; k < size; ++k) record->bytes[k] = in.U8();
  return record;
}

bool SaneCode(LRESULT r) {
  switch (r) {
    case MMSYSERR_NOERROR:
    case MMSYSERR_ERROR:
    case MMSYSERR_INVALHANDLE:
    case MMSYSERR_NOMEM:
    case MMSYSERR_NOTSUPPORTED:
    case MMSYSERR_INVALPARAM:
    case ACMERR_NOTPOSSIBLE:
      return true;
    default:
      return false;
  }
}

LRESULT Send(UINT message, const void* param1, const void* param2) {
  bool use_default = false;
  const LRESULT r =
      AnswerDriverMessage(message, reinterpret_cast<LPARAM>(param1), reinterpret_cast<LPARAM>(param2), &use_default);
  if (message >= ACMDM_BASE && (use_default || !SaneCode(r))) __builtin_trap();
  return r;
}

// One of the two streams the input may open.
struct Slot {
  ACMDRVSTREAMINSTANCE instance = {};
  Block* source_record = nullptr;
  Block* pcm_record = nullptr;
  bool open = false;
  DWORD estimate = 0;  // the last source-size answer
  void Close() {
    if (open) Send(ACMDM_STREAM_CLOSE, &instance, nullptr);
    open = false;
    delete source_record;
    delete pcm_record;
    source_record = pcm_record = nullptr;
  }
};

void OpenStream(Cursor& in, Slot& slot) {
  slot.Close();
  const uint8_t flags = in.U8();
  slot.source_record = ReadRecord(in);
  slot.pcm_record = ReadRecord(in);
  slot.instance = ACMDRVSTREAMINSTANCE();
  slot.instance.cbStruct = sizeof slot.instance;
  slot.instance.pwfxSrc = reinterpret_cast<WAVEFORMATEX*>(slot.source_record->bytes);
  slot.instance.pwfxDst = reinterpret_cast<WAVEFORMATEX*>(slot.pcm_record->bytes);
  static WAVEFILTER filter = {sizeof(WAVEFILTER), 1, 0, {}};
  slot.instance.pwfltr = (flags & 4) ? &filter : nullptr;
  slot.instance.fdwOpen = flags & (ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC);
  const LRESULT r = Send(ACMDM_STREAM_OPEN, &slot.instance, nullptr);
  if (r == MMSYSERR_NOERROR && !(flags & ACM_STREAMOPENF_QUERY)) {
    if (slot.instance.dwDriver == 0) __builtin_trap();
    slot.open = true;
    slot.estimate = 0;
  }
}

void SizeQuery(Cursor& in, Slot& slot) {
  ACMDRVSTREAMSIZE size = {};
  size.cbStruct = sizeof size;
  size.fdwSize = in.U8() & 3;
  const uint8_t kind = in.U8() % kLengthCount;
  const DWORD length = kind == kZero ? 0 : kind == kHuge ? 0xFFFFFFFFu : kind == kShort ? in.U16() : in.U32();
  size.cbSrcLength = size.cbDstLength = length;
  const LRESULT r = Send(ACMDM_STREAM_SIZE, slot.open ? &slot.instance : nullptr, &size);
  if (r == MMSYSERR_NOERROR && size.fdwSize == ACM_STREAMSIZEF_SOURCE) slot.estimate = size.cbDstLength;
}

void Convert(Cursor& in, Slot& slot) {
  const uint8_t flags = in.U8();
  const size_t wanted = in.U16() | static_cast<size_t>(in.U8() & 3) << 16;
  size_t got = 0;
  const uint8_t* bytes = in.Take(wanted, &got);
  Block source(got);
  if (got > 0) std::memcpy(source.bytes, bytes, got);
  const uint8_t kind = in.U8() % kRoomCount;
  const size_t frame = slot.open ? slot.instance.pwfxDst->nBlockAlign : 4;
  size_t room = kind == kNoRoom        ? 0
                : kind == kPartOfFrame ? (frame > 1 ? in.U8() % frame : 0)
                : kind == kRoomGiven   ? static_cast<size_t>(in.U16()) * 16
                                       : slot.estimate;
  room = std::min(room, kLargestDestination);
  Block destination(room);
  ACMDRVSTREAMHEADER header = {};
  header.cbStruct = sizeof header;
  header.pbSrc = got > 0 ? source.bytes : nullptr;
  header.cbSrcLength = static_cast<DWORD>(got);
  header.pbDst = room > 0 ? destination.bytes : nullptr;
  header.cbDstLength = static_cast<DWORD>(room);
  header.fdwConvert = (flags & 1 ? ACM_STREAMCONVERTF_START : 0) | (flags & 2 ? ACM_STREAMCONVERTF_END : 0) |
                      (flags & 4 ? ACM_STREAMCONVERTF_BLOCKALIGN : 0);
  const LRESULT r = Send(ACMDM_STREAM_CONVERT, slot.open ? &slot.instance : nullptr, &header);
  if (header.cbSrcLengthUsed > header.cbSrcLength || header.cbDstLengthUsed > header.cbDstLength) __builtin_trap();
  if (r == MMSYSERR_NOERROR && frame > 0 && header.cbDstLengthUsed % frame != 0) __builtin_trap();
}

// A details query with a record of the size the input says.
void Details(Cursor& in) {
  const uint8_t which = in.U8() % 3;
  const DWORD query = in.U8() & 3;
  const uint16_t size = in.U16();
  if (which == 0) {
    Block record(std::max<size_t>(size % (sizeof(ACMDRIVERDETAILSW) + 8), sizeof(DWORD)));
    std::memset(record.bytes, 0, record.size);
    reinterpret_cast<ACMDRIVERDETAILSW*>(record.bytes)->cbStruct = static_cast<DWORD>(record.size);
    Send(ACMDM_DRIVER_DETAILS, record.bytes, nullptr);
    if (reinterpret_cast<ACMDRIVERDETAILSW*>(record.bytes)->cbStruct > record.size) __builtin_trap();
  } else if (which == 1) {
    Block record(std::max<size_t>(size % (sizeof(ACMFORMATTAGDETAILSW) + 8), sizeof(DWORD)));
    std::memset(record.bytes, 0, record.size);
    auto* d = reinterpret_cast<ACMFORMATTAGDETAILSW*>(record.bytes);
    d->cbStruct = static_cast<DWORD>(record.size);
    const uint32_t index = in.U32(), tag = in.U32();
    if (record.size >= 3 * sizeof(DWORD)) {
      d->dwFormatTagIndex = index;
      d->dwFormatTag = tag;
    }
    Send(ACMDM_FORMATTAG_DETAILS, record.bytes, reinterpret_cast<const void*>(static_cast<uintptr_t>(query)));
  } else {
    ACMFORMATDETAILSW d = {};
    d.cbStruct = size & 1 ? static_cast<DWORD>(size) : sizeof d;
    d.dwFormatIndex = in.U8();
    const uint8_t kind = in.U8() % 4;
    d.dwFormatTag = kind == kTagVorbis ? kVorbisTag : kind == kTagPcm ? WAVE_FORMAT_PCM
                    : kind == kTagExtensible ? WAVE_FORMAT_EXTENSIBLE : in.U16();
    Block format(in.U8());
    for (size_t k = 0; k < format.size; ++k) format.bytes[k] = in.U8();
    d.pwfx = reinterpret_cast<WAVEFORMATEX*>(format.bytes);
    d.cbwfx = static_cast<DWORD>(format.size);
    Send(ACMDM_FORMAT_DETAILS, &d, reinterpret_cast<const void*>(static_cast<uintptr_t>(query)));
  }
}

void Suggest(Cursor& in) {
  ACMDRVFORMATSUGGEST s = {};
  s.cbStruct = sizeof s;
  s.fdwSuggest = static_cast<DWORD>(in.U8()) << 16;
  Block* source = ReadRecord(in);
  Block destination(in.U8());
  for (size_t k = 0; k < destination.size; ++k) destination.bytes[k] = in.U8();
  s.pwfxSrc = reinterpret_cast<WAVEFORMATEX*>(source->bytes);
  s.cbwfxSrc = static_cast<DWORD>(source->size);
  s.pwfxDst = reinterpret_cast<WAVEFORMATEX*>(destination.bytes);
  s.cbwfxDst = static_cast<DWORD>(destination.size);
  Send(ACMDM_FORMAT_SUGGEST, &s, nullptr);
  delete source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  (void)hooked;
  Slot slots[2];
  live = 0;
  limit = 2 * StreamBudget::kBudget + kHeapMargin;
  watching = true;
  Cursor in(data, size);
  for (int ops = 0; in.ok() && ops < 4096; ++ops) {
    const uint8_t op = in.U8() % kOpCount;
    Slot& slot = slots[in.U8() & 1];
    switch (op) {
      case kOpen:
        OpenStream(in, slot);
        break;
      case kSize:
        SizeQuery(in, slot);
        break;
      case kConvert:
        Convert(in, slot);
        break;
      case kReset:
        Send(ACMDM_STREAM_RESET, slot.open ? &slot.instance : nullptr, nullptr);
        break;
      case kClose:
        slot.Close();
        break;
      case kDetails:
        Details(in);
        break;
      case kSuggest:
        Suggest(in);
        break;
      default: {
        const UINT message = in.U16();
        // The system's own driver messages go to DefDriverProc, which is not
        // here; those of the manager get no records.
        if (message >= DRV_USER) Send(message, nullptr, nullptr);
        break;
      }
    }
  }
  for (Slot& slot : slots) slot.Close();
  watching = false;
  return 0;
}

#else  // CODEC_DRIVER_CORPUS

#include "tests/le_bytes.h"
#include "tests/vorbis_writer.h"

namespace {

using vorbis_writer::Book;
using vorbis_writer::Floor1;
using vorbis_writer::Mode;
using vorbis_writer::Residue;
using vorbis_writer::Stream;

constexpr uint8_t kSourceQuery = 0;  // ACM_STREAMSIZEF_SOURCE
constexpr uint8_t kFormatQuery = 1;  // ACM_FORMATDETAILSF_FORMAT

// Writes the operations of one input.
class Input {
 public:
  void Begin(Op op, int slot) {
    bytes_ += static_cast<char>(op);
    bytes_ += static_cast<char>(slot);
  }
  void U8(uint8_t v) { bytes_ += static_cast<char>(v); }
  void U16(uint16_t v) { PutU16(bytes_, v); }
  void U32(uint32_t v) { PutU32(bytes_, v); }
  // An Ogg Vorbis source record (TAPEON's) and the plain PCM it converts to.
  void Open(int slot, int channels, uint32_t rate, uint32_t byte_rate) {
    Begin(kOpen, slot);
    U8(0);
    U8(kTagVorbis);
    U8(static_cast<uint8_t>(channels));
    U32(rate);
    U32(byte_rate);
    U16(static_cast<uint16_t>(channels * 2));
    U16(16);
    U8(8);
    U32(0x20001214);
    U32(0x20001031);
    U8(kTagPcm);
    U8(static_cast<uint8_t>(channels));
    U32(rate);
    U32(rate * channels * 2);
    U16(static_cast<uint16_t>(channels * 2));
    U16(16);
    U8(0);
  }
  // The stream in pieces, each after a size query, into the estimate; the
  // first with START, the last with END, then an empty one.
  void Feed(int slot, const std::string& stream, size_t piece) {
    for (size_t at = 0; at < stream.size(); at += piece) {
      const size_t n = std::min(piece, stream.size() - at);
      Begin(kSize, slot);
      U8(kSourceQuery);
      U8(kShort);
      U16(static_cast<uint16_t>(n));
      Begin(kConvert, slot);
      U8((at == 0 ? 1 : 0) | (at + n == stream.size() ? 2 : 0));
      U16(static_cast<uint16_t>(n));
      U8(static_cast<uint8_t>(n >> 16));
      bytes_ += stream.substr(at, n);
      U8(kRoomEstimated);
    }
    Begin(kConvert, slot);
    U8(0);
    U16(0);
    U8(0);
    U8(kRoomGiven);
    U16(4096);
  }

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

Stream Silence(int channels, uint64_t packets) {
  Stream s;
  s.channels = channels;
  s.packets = packets;
  s.setup.modes = {Mode{false, 0}, Mode{true, 0}};
  return s;
}

// One ordered book of `entries` entries of dimension 4 and `residues`
// residues of `partitions` classes (partitions^4 <= entries): the decoder
// builds tables of partitions^4 entries for every residue. The setup is
// padded to as many bits as the entries, as the decoder's bounds want.
Stream ResidueTables(uint32_t entries, int length, int partitions, int residues) {
  Stream s = Silence(2, 4);
  s.setup.books = {Book{4, entries, length, true, 0, 1}};
  s.setup.residues.assign(static_cast<size_t>(residues), Residue{0, 0, 0, 1, partitions, 0, 0, 0});
  s.setup.padding = entries / 8 + 64;
  return s;
}

void Save(const std::string& dir, const std::string& name, const std::string& bytes) {
  const std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fclose(f);
  std::printf("%s: %zu bytes\n", name.c_str(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: codec_driver_corpus DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  {
    Input in;
    in.Open(0, 2, 44100, 16000);
    in.Feed(0, vorbis_writer::Write(Silence(2, 300)), 4096);
    Save(dir, "silence_stereo", in.bytes());
  }
  {
    // Long blocks of 8 channels: the most a packet decodes to.
    Stream s = Silence(8, 200);
    s.rate = 48000;
    s.long_exponent = 13;
    s.setup.modes = {Mode{true, 0}};
    Input in;
    in.Open(0, 8, 48000, 8 * 8000);
    in.Feed(0, vorbis_writer::Write(s), 8192);
    Save(dir, "long_blocks_8ch", in.bytes());
  }
  {
    // Codebooks, floors and residues at the decoder's limits: one book of
    // as many entries and values as a setup may declare, and residues whose
    // tables together ask for more than a stream's budget.
    Stream book = Silence(2, 4);
    book.setup.books = {Book{4, 1u << 20, 20, true, 1, 5}};
    book.setup.residues = {Residue{0, 0, 256, 4, 2, 0, 1, 0}};
    book.setup.padding = (1u << 20) / 8 + 64;
    Input in;
    in.Open(0, 2, 44100, 16000);
    in.Feed(0, vorbis_writer::Write(book), 16384);
    Save(dir, "book_at_limits", in.bytes());
    Input tables;
    tables.Open(1, 2, 44100, 16000);
    tables.Feed(1, vorbis_writer::Write(ResidueTables(1u << 18, 18, 22, 16)), 8192);
    Save(dir, "residue_tables", tables.bytes());
    Stream floors = Silence(2, 40);
    floors.setup.floors = {Floor1{31, 2, 8}, Floor1{0, 1, 0}};
    floors.setup.books = {Book{1, 2, 1, false, 0, 1}, Book{2, 4, 2, false, 1, 2}};
    floors.setup.residues = {Residue{2, 0, 2048, 16, 2, 0, 3, 1}};
    floors.setup.mappings = {{0, 0}, {1, 0}};
    floors.setup.modes = {Mode{false, 0}, Mode{true, 1}};
    Input f;
    f.Open(0, 2, 44100, 16000);
    f.Feed(0, vorbis_writer::Write(floors), 2048);
    Save(dir, "floors_and_stages", f.bytes());
  }
  {
    // A comment header of many empty comments, across pages.
    Stream s = Silence(2, 20);
    s.comments = 20000;
    Input in;
    in.Open(0, 2, 44100, 16000);
    in.Feed(0, vorbis_writer::Write(s), 8192);
    Save(dir, "many_comments", in.bytes());
  }
  {
    // Two streams interleaved, a chained link, a move and a reset.
    Stream a = Silence(2, 100), b = Silence(1, 100);
    b.serial = 0xB0B;
    b.rate = 44100;
    const std::string chained = vorbis_writer::Write(a) + vorbis_writer::Write(b);
    Input in;
    in.Open(0, 2, 44100, 16000);
    in.Open(1, 1, 44100, 8000);
    in.Feed(0, chained.substr(0, chained.size() / 2), 1024);
    in.Feed(1, vorbis_writer::Write(b), 512);
    in.Feed(0, chained.substr(chained.size() / 2), 1024);
    in.Begin(kReset, 1);
    in.Feed(1, vorbis_writer::Write(b).substr(200), 700);
    in.Begin(kClose, 0);
    // The details of a format record given whole.
    in.Begin(kDetails, 0);
    in.U8(2);
    in.U8(kFormatQuery);
    in.U16(0);
    in.U8(0);
    in.U8(kTagVorbis);
    in.U8(26);
    in.U16(kVorbisTag);
    in.U16(2);
    in.U32(44100);
    in.U32(16000);
    in.U16(4);
    in.U16(16);
    in.U16(8);
    in.U32(0x20001214);
    in.U32(0x20001031);
    Save(dir, "two_streams_chained_moved", in.bytes());
  }
  return 0;
}

#endif  // CODEC_DRIVER_CORPUS
