#include "sound_files/mpeg_analysis.h"

#include <algorithm>
#include <cstring>

#include "base/format_record.h"

namespace {

// kbit/s by version, layer number (1..3) and bitrate index.
constexpr unsigned short kBitrates[3][3][16] = {
    {
        // MPEG-1
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
    {
        // MPEG-2
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
    {
        // MPEG-2.5
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
};

constexpr unsigned kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// A frame can never be longer than this (Layer II at 160 kbit/s and 8 kHz,
// MPEG-2.5).
constexpr unsigned kLongestFrame = 144000u * 160u / 8000u + 1u;

// The search for the first frame looks this far past ID3v2 tags, or past
// the start of a raw file (padding, junk of a cut or joined file, the rest
// of a tag whose size was misread); a stream without a frame that soon is
// not taken for MPEG audio.
constexpr uint32_t kSearchBytes = 256 * 1024;
// Headers after a candidate that must go on its stream before it counts as
// the first frame: after tags one; after junk, where any bytes of any file
// may stand, two (random bytes pass one such check at about one offset in
// 10^9, a quarter of a million offsets searched: too often for every file
// that is not MPEG audio at all).
constexpr int kConfirmAfterTags = 1;
constexpr int kConfirmAfterJunk = 2;
// More ID3v2 tags in a row than any tagger writes: the chain ends there.
constexpr int kMostLeadingTags = 64;
// Tags appended at the end, in any order: ID3v1, APEv2 and ID3v2 at most
// once each, with room to spare.
constexpr int kMostTrailingTags = 6;
// The search reads the stream in blocks of this size.
constexpr uint32_t kBlockBytes = 64 * 1024;

constexpr uint32_t kId3HeaderBytes = 10;  // also the footer of a v2.4 tag
constexpr uint32_t kId3FooterFlag = 0x10;
constexpr uint32_t kId3v1Bytes = 128;
constexpr uint32_t kApeFooterBytes = 32;  // also its header
constexpr uint32_t kApeHasHeader = 0x80000000u;

// A protected frame (protection bit 0) has a 16-bit CRC after its header.
constexpr unsigned kCrcBytes = 2;
// The flags of a Xing header: which of its fields are there.
constexpr uint32_t kXingFrames = 1;
constexpr uint32_t kXingBytes = 2;

constexpr uint32_t kPaddingBit = 1u << 9;
constexpr uint32_t kBit5 = 1u << 5;

std::string HeaderFieldsText(const MpegHeader& h) {
  return FormatText(
      "SyncHead=%x\r\nID=%x\r\nLayer=%x\r\nErrorProtect=%x\r\nBitRate=%x\r\nSampleRate=%x\r\nPadding=%x\r\n"
      "Extension=%x\r\nChannel=%x\r\nModExtension=%x\r\nCopyright=%x\r\nOriginal=%x\r\nEmphasis=%x\r\n",
      h.sync, h.id, h.layer, h.protection, h.bitrate_index, h.rate_index, h.padding, h.private_bit, h.channel_mode,
      h.mode_extension, h.copyright, h.original, h.emphasis);
}

// The numbers in the texts are the 32-bit longs of the Windows build; going
// through int32_t prints the same digits on a 64-bit host.
long AsLong(uint32_t value) { return static_cast<long>(static_cast<int32_t>(value)); }

bool ReadRawHeader(ByteSource& source, uint8_t bytes[4]) { return ReadExact(source, bytes, 4); }

uint32_t BigEndian(const uint8_t bytes[4]) {
  ByteCursor cursor(bytes, 4);
  return cursor.U32BE();
}

// A 28-bit number stored 7 bits a byte, most significant first (ID3v2 sizes).
uint32_t Syncsafe(const uint8_t bytes[4]) {
  return static_cast<uint32_t>(bytes[0] & 0x7F) << 21 | static_cast<uint32_t>(bytes[1] & 0x7F) << 14 |
         static_cast<uint32_t>(bytes[2] & 0x7F) << 7 | static_cast<uint32_t>(bytes[3] & 0x7F);
}

// The stream read through one block of memory: the search looks at every
// byte of up to kSearchBytes, and the detail dialog's file is unbuffered.
class BlockReader {
 public:
  // A source of source_size bytes: one shorter than a block gets a block as
  // long as itself.
  BlockReader(ByteSource& source, uint64_t source_size)
      : source_(source), block_(static_cast<size_t>(std::min<uint64_t>(source_size, kBlockBytes))) {}

  // The bytes from offset on that the block holds (*bytes points at them),
  // read afresh from offset when fewer than `want` are there and the source
  // has more. 0 when offset lies past the source's end.
  uint32_t View(uint64_t offset, uint32_t want, const uint8_t** bytes) {
    const uint64_t block_end = start_ + filled_;
    if (offset < start_ || offset > block_end || (offset + want > block_end && !at_end_)) Fill(offset);
    if (offset < start_ || offset >= start_ + filled_) return 0;
    *bytes = block_.data() + (offset - start_);
    return static_cast<uint32_t>(start_ + filled_ - offset);
  }

  // Exactly count bytes (at most a block) at offset; false when the source
  // ends first.
  bool Read(uint64_t offset, void* out, uint32_t count) {
    const uint8_t* bytes = nullptr;
    if (View(offset, count, &bytes) < count) return false;
    std::memcpy(out, bytes, count);
    return true;
  }

 private:
  void Fill(uint64_t offset) {
    start_ = offset;
    filled_ = 0;
    if (offset <= 0xFFFFFFFFu && source_.Seek(static_cast<uint32_t>(offset)))
      filled_ = source_.Read(block_.data(), static_cast<uint32_t>(block_.size()));
    at_end_ = filled_ < block_.size();
  }

  ByteSource& source_;
  std::vector<uint8_t> block_;
  uint64_t start_ = 0;
  uint32_t filled_ = 0;
  bool at_end_ = false;  // nothing lies past the block
};

// Where the sound of the stream [start, end) ends: before the tags taggers
// append, in whatever order they stand. ID3v1 is the last 128 bytes when they
// begin "TAG"; APEv2 ends in a 32-byte footer "APETAGEX" whose size counts
// the items and the footer (a header as long comes before them when the flags
// say so); an appended ID3v2 tag ends in a footer "3DI", its size counting
// neither header nor footer. A tag that claims more than the stream holds is
// not one.
uint64_t SoundEnd(BlockReader& reader, uint64_t start, uint64_t end) {
  for (int tags = 0; tags < kMostTrailingTags; ++tags) {
    const uint64_t room = end - start;
    uint8_t footer[kApeFooterBytes];
    if (room >= kApeFooterBytes && reader.Read(end - kApeFooterBytes, footer, kApeFooterBytes) &&
        std::memcmp(footer, "APETAGEX", 8) == 0) {
      ByteCursor fields(footer + 12, 12);
      const uint32_t size = fields.U32LE();
      fields.U32LE();  // item count
      const uint32_t flags = fields.U32LE();
      const uint64_t length = static_cast<uint64_t>(size) + ((flags & kApeHasHeader) ? kApeFooterBytes : 0);
      if (length >= kApeFooterBytes && length <= room) {
        end -= length;
        continue;
      }
    }
    if (room >= 2 * kId3HeaderBytes && reader.Read(end - kId3HeaderBytes, footer, kId3HeaderBytes) &&
        std::memcmp(footer, "3DI", 3) == 0 && footer[3] == 4) {
      const uint64_t length = 2 * kId3HeaderBytes + static_cast<uint64_t>(Syncsafe(footer + 6));
      if (length <= room) {
        end -= length;
        continue;
      }
    }
    if (room >= kId3v1Bytes && reader.Read(end - kId3v1Bytes, footer, 3) && std::memcmp(footer, "TAG", 3) == 0) {
      end -= kId3v1Bytes;
      continue;
    }
    break;
  }
  return end;
}

// The first frame's header and what it gives.
struct FirstFrame {
  MpegHeader header;
  MpegVersion version = MPEG_1;
  unsigned bitrate = 0;
  unsigned sample_rate = 0;
  unsigned length = 0;
};

// Decodes a first frame's header; false when it has no bitrate or no frame
// length to read by (a free-format or forbidden bitrate index).
bool DecodeFirstFrame(uint32_t raw, FirstFrame& f) {
  if (!DecodeMpegHeader(raw, f.header)) return false;
  f.version = MpegVersionOf(f.header);
  f.bitrate = MpegBitrate(f.version, f.header.layer, f.header.bitrate_index);
  f.sample_rate = MpegSampleRate(f.version, f.header.rate_index);
  f.length = MpegFrameLength(f.version, f.header.layer, f.bitrate, f.sample_rate, f.header.padding);
  // (The tables give no frame longer than kLongestFrame.)
  return f.bitrate != 0 && f.length >= 4 && f.length <= kLongestFrame;
}

// A header that goes on the stream of `frame`: the same version, layer and
// sample rate.
bool GoesOn(const FirstFrame& frame, const MpegHeader& next) {
  return MpegVersionOf(next) == frame.version && next.layer == frame.header.layer &&
         next.rate_index == frame.header.rate_index;
}

// The search for the first frame, within the stream's sound.
class FrameSearch {
 public:
  FrameSearch(BlockReader& reader, uint64_t sound_end) : reader_(reader), sound_end_(sound_end) {}

  // A frame at offset: its header decodes, and each of the next `confirm`
  // headers, at the length the frame before it gives, goes on its stream
  // (or a frame ends where the sound does).
  bool FrameAt(uint64_t offset, int confirm = kConfirmAfterTags) {
    FirstFrame frame;
    if (!FirstFrameAt(offset, frame)) return false;
    FirstFrame at = frame;
    for (int k = 0; k < confirm; ++k) {
      offset += at.length;
      if (offset == sound_end_) return true;
      MpegHeader next;
      if (!HeaderAt(offset, next) || !GoesOn(frame, next)) return false;
      // A header further on is found by this one's length.
      if (k + 1 < confirm && !FirstFrameAt(offset, at)) return false;
    }
    return true;
  }

  // Another ID3v2 tag, or a frame.
  bool SoundAt(uint64_t offset) {
    uint8_t marker[3];
    return (offset + 3 <= sound_end_ && reader_.Read(offset, marker, 3) && std::memcmp(marker, "ID3", 3) == 0) ||
           FrameAt(offset);
  }

  // The end of the ID3v2 tag whose 10-byte header is at offset. Its size is
  // stored 7 bits a byte; older taggers wrote it as a plain number, which
  // reads smaller that way. When only the plain number ends where sound
  // follows, it is taken.
  uint64_t TagEnd(uint64_t offset, const uint8_t header[kId3HeaderBytes]) {
    const uint64_t footer = header[3] == 4 && (header[5] & kId3FooterFlag) ? kId3HeaderBytes : 0;
    const uint64_t end = offset + kId3HeaderBytes + Syncsafe(header + 6) + footer;
    const uint64_t plain_end = offset + kId3HeaderBytes + BigEndian(header + 6) + footer;
    if (plain_end != end && !SoundAt(end) && SoundAt(plain_end)) return plain_end;
    return end;
  }

  // The first frame from offset on, within kSearchBytes.
  bool Find(uint64_t from, int confirm, uint64_t& frame_start) {
    const uint64_t last = std::min<uint64_t>(from + kSearchBytes, sound_end_);
    for (uint64_t offset = from; offset < last; ++offset) {
      if (FrameAt(offset, confirm)) {
        frame_start = offset;
        return true;
      }
    }
    return false;
  }

 private:
  // The four bytes at offset, inside the sound, as a header whose sync,
  // layer and sample rate can be a frame's.
  bool HeaderAt(uint64_t offset, MpegHeader& header) {
    uint8_t bytes[4];
    return offset + 4 <= sound_end_ && reader_.Read(offset, bytes, 4) && DecodeMpegHeader(BigEndian(bytes), header);
  }
  bool FirstFrameAt(uint64_t offset, FirstFrame& frame) {
    if (offset >= sound_end_) return false;
    const uint8_t* bytes = nullptr;
    const uint64_t available = std::min<uint64_t>(reader_.View(offset, kLongestFrame + 4, &bytes), sound_end_ - offset);
    // Most bytes are no sync: the one comparison the search makes at them.
    return available >= 4 && bytes[0] == 0xFF && DecodeFirstFrame(BigEndian(bytes), frame);
  }

  BlockReader& reader_;
  uint64_t sound_end_;
};

// Where the sound of a stream lies: its first frame, and the end of its
// sound (before the tags at its end).
struct SoundSpan {
  uint64_t frame_start = 0;
  uint64_t sound_end = 0;
};

// Finds the first frame of the stream [start, end): at its start, or after
// ID3v2 tags there, or, when `search` allows, after junk. False when the
// stream is not MPEG audio.
bool FindFirstFrame(BlockReader& reader, uint64_t start, uint64_t end, MpegSearch search, SoundSpan& span) {
  span.sound_end = SoundEnd(reader, start, end);
  span.frame_start = start;
  uint8_t bytes[kId3HeaderBytes];
  if (!reader.Read(start, bytes, 4)) return false;
  FirstFrame first;
  FrameSearch frames(reader, span.sound_end);
  if (bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
    uint64_t offset = start;
    for (int tags = 0; tags < kMostLeadingTags; ++tags) {
      if (!reader.Read(offset, bytes, kId3HeaderBytes)) {
        if (tags == 0) return false;
        break;
      }
      if (std::memcmp(bytes, "ID3", 3) != 0) break;
      offset = frames.TagEnd(offset, bytes);
    }
    if (!frames.Find(offset, kConfirmAfterTags, span.frame_start)) return false;
  } else if (!DecodeFirstFrame(BigEndian(bytes), first)) {
    // Junk before the first frame of a raw file; the bytes of the other
    // kinds of file it may be are never searched.
    if (search != MpegSearch::ANYWHERE || std::memcmp(bytes, "OggS", 4) == 0 || std::memcmp(bytes, "RIFF", 4) == 0)
      return false;
    if (!frames.Find(start, kConfirmAfterJunk, span.frame_start)) return false;
  }
  // Tags "at the end" that reach into the first frame's header are frames.
  if (span.sound_end < span.frame_start + 4) span.sound_end = end;
  return true;
}

// The second frame's header, where the sound goes on after the first: read,
// compared with the first (constant or variable rate), and the duration of
// a frame it gives in seconds (0 when it has none). A missing or broken
// header is reported in a box and leaves the first frame's values.
double CheckNextHeader(ByteSource& source, const FirstFrame& frame, bool inside_sound, AnalysisReport& report,
                       MpegRecordFields& r) {
  // The boxes' one-word texts ("read", "fff", "layer", "rate") are deliberate, kept as they always were.
  uint8_t bytes[4];
  if (!inside_sound || !ReadRawHeader(source, bytes)) {
    report.Box("read");
    return 0.0;
  }
  const MpegHeader& first = frame.header;
  MpegHeader second;
  DecodeMpegHeader(BigEndian(bytes), second);
  // The reserved version (sync 0xFFE with the MPEG-1 bit) is no sync.
  if ((second.sync != 0xFFF && second.sync != 0xFFE) || (second.sync == 0xFFE && second.id)) {
    report.Box("fff");
    return 0.0;
  }
  if (second.layer == 0) {
    report.Box("layer");
    return 0.0;
  }
  if (second.rate_index == 3) {
    report.Box("rate");
    return 0.0;
  }
  const unsigned second_bitrate = MpegBitrate(frame.version, second.layer, second.bitrate_index);
  const uint32_t second_byte_rate = second_bitrate * 125u;
  if ((first.value ^ second.value) & ~(kPaddingBit | kBit5)) {
    report.Text("VBR\r\n");
    report.Text(HeaderFieldsText(second));
    report.Text(FormatText("%8lx\r\n", static_cast<unsigned long>(first.value ^ second.value)));
    report.Text(FormatText("avg=%ld\r\n", AsLong(second_byte_rate)));
    if (second_byte_rate > r.byte_rate) r.byte_rate = second_byte_rate;
  } else {
    report.Text("CBR\r\n");
  }
  // A second frame without a bitrate has no duration.
  if (second_byte_rate == 0) return 0.0;
  const unsigned second_length =
      MpegFrameLength(frame.version, first.layer, second_bitrate, frame.sample_rate, second.padding);
  return static_cast<double>(second_length) / second_byte_rate;
}

// The Xing header inside the first frame's body (after the two bytes of its
// CRC when the frame has one): its frame count, when its flag says it is
// there, gives the stream's duration, and the sound's bytes over it the
// average byte rate. A rate that no frame of the version and layer could
// have (a count that lies) leaves the frames' rate.
void ReadVbrHeader(const uint8_t* body, uint32_t body_read, const FirstFrame& frame, double frame_seconds,
                   uint32_t audio_bytes, AnalysisReport& report, MpegRecordFields& r) {
  const MpegHeader& first = frame.header;
  const unsigned crc = first.protection == 0 ? kCrcBytes : 0;
  ByteCursor cursor(body, body_read);
  cursor.SeekTo(crc + XingOffset(frame.version, first.channel_mode == 3));
  const bool tagged = cursor.Tag("Xing");
  const uint32_t flags = cursor.U32BE();
  if (!tagged || !cursor.ok()) return;
  // "FLAG ERROR" is deliberate, kept as it always was.
  if (!(flags & kXingFrames)) report.UnownedBox("FLAG ERROR", "Xing");
  if (!(flags & kXingBytes)) report.UnownedBox("FLAG ERROR", "Xing");
  if (!(flags & kXingFrames)) return;
  const uint32_t frames = cursor.U32BE();
  if (!cursor.ok()) return;

  const double duration = frames * frame_seconds;
  report.Text(FormatText("Xing\r\ntime=%f\r\n", duration));
  // A frame count of 0 (or a second frame without a duration) leaves the
  // byte rate of the frames.
  if (!(duration > 0.0)) return;
  const double average = audio_bytes / duration;
  const double lowest = MpegBitrate(frame.version, first.layer, 1) * 125.0;
  const double highest = MpegBitrate(frame.version, first.layer, 14) * 125.0;
  if (average < lowest || average > highest) return;
  const uint32_t average_rate = static_cast<uint32_t>(average);
  report.Text(FormatText("avg=%ld data=%ld time=%f", AsLong(average_rate), AsLong(audio_bytes), duration));
  r.byte_rate = average_rate;
}

}  // namespace

std::vector<uint8_t> MakeMpegRecord(const MpegRecordFields& r) {
  std::vector<uint8_t> bytes;
  bytes.reserve(MPEG_RECORD_SIZE);
  LittleEndianWriter out(bytes);
  out.U16(WAVE_TAG_MPEGLAYER3);
  out.U16(r.channels);
  out.U32(r.sample_rate);
  out.U32(r.byte_rate);
  out.U16(1);   // nBlockAlign
  out.U16(0);   // wBitsPerSample
  out.U16(12);  // cbSize
  out.U16(1);   // wID: MPEGLAYER3_ID_MPEG
  out.U32(r.padding_flag);
  out.U16(r.block_size);
  out.U16(1);  // nFramesPerBlock
  out.U16(MPEG_CODEC_DELAY);
  return bytes;
}

bool DecodeMpegHeader(uint32_t raw, MpegHeader& h) {
  h = MpegHeader();
  h.sync = raw >> 20;
  h.id = raw >> 19 & 1u;
  const unsigned layer_code = raw >> 17 & 3u;
  h.protection = raw >> 16 & 1u;
  h.bitrate_index = raw >> 12 & 15u;
  h.rate_index = raw >> 10 & 3u;
  h.padding = raw >> 9 & 1u;
  h.private_bit = raw >> 8 & 1u;
  h.channel_mode = raw >> 6 & 3u;
  h.mode_extension = raw >> 4 & 3u;
  h.copyright = raw >> 3 & 1u;
  h.original = raw >> 2 & 1u;
  h.emphasis = raw & 3u;
  // Layer code 3 is Layer I, code 1 Layer III.
  h.layer = layer_code == 0 ? 0 : 4 - layer_code;
  h.value = (raw & ~(3u << 17)) | h.layer << 17;
  // Sync 0xFFE with the MPEG-1 bit is the reserved version: no frame.
  const bool version_known = h.sync == 0xFFF || (h.sync == 0xFFE && h.id == 0);
  return version_known && layer_code != 0 && h.rate_index != 3;
}

MpegVersion MpegVersionOf(const MpegHeader& h) {
  if (h.id) return MPEG_1;
  return h.sync == 0xFFF ? MPEG_2 : MPEG_25;
}

unsigned MpegBitrate(MpegVersion version, unsigned layer, unsigned bitrate_index) {
  if (layer < 1 || layer > 3 || bitrate_index > 15) return 0;
  return kBitrates[version][layer - 1][bitrate_index];
}

unsigned MpegSampleRate(MpegVersion version, unsigned rate_index) {
  return rate_index < 3 ? kSampleRates[version][rate_index] : 0;
}

unsigned MpegFrameLength(MpegVersion version, unsigned layer, unsigned bitrate_kbit, unsigned sample_rate,
                         unsigned padding) {
  if (bitrate_kbit == 0 || sample_rate == 0) return 0;
  if (layer == 1) return (12000u * bitrate_kbit / sample_rate + padding) * 4u;
  // 144000 = 1152 samples / 8 bits x 1000; an MPEG-2 or 2.5 Layer III frame
  // holds half as many samples, a Layer II frame as many as in MPEG-1.
  const unsigned factor = version != MPEG_1 && layer == 3 ? 72000u : 144000u;
  return factor * bitrate_kbit / sample_rate + padding;
}

unsigned XingOffset(MpegVersion version, bool single_channel) {
  if (version == MPEG_1) return single_channel ? 17 : 32;
  return single_channel ? 9 : 17;
}

AnalysisResult AnalyzeMpeg(ByteSource& source, uint32_t data_total, AnalysisReport& report, std::vector<uint8_t>& record,
                           MpegEdges* edges, MpegSearch search) {
  record.clear();
  const uint64_t stream_start = source.Position();
  const uint64_t source_end = std::max<uint64_t>(source.Size(), stream_start);
  const uint64_t stream_end = std::min<uint64_t>(stream_start + data_total, source_end);
  BlockReader reader(source, source_end);
  SoundSpan span;
  if (!FindFirstFrame(reader, stream_start, stream_end, search, span)) return ANALYSIS_NOT_MINE;
  uint8_t bytes[4];
  FirstFrame frame;
  if (!reader.Read(span.frame_start, bytes, 4) || !DecodeFirstFrame(BigEndian(bytes), frame)) return ANALYSIS_NOT_MINE;
  // The search kept to 32-bit offsets at or after the start.
  const uint32_t head = static_cast<uint32_t>(span.frame_start - stream_start);
  const uint32_t tail = static_cast<uint32_t>(stream_end - span.sound_end);
  // The stream's sound: what lies between the tags.
  const uint64_t not_sound = static_cast<uint64_t>(head) + tail;
  const uint32_t audio_bytes = data_total > not_sound ? static_cast<uint32_t>(data_total - not_sound) : 0;

  const MpegHeader& first = frame.header;
  report.Text(HeaderFieldsText(first));
  report.Allocate(MPEG_RECORD_SIZE);
  MpegRecordFields r;
  r.channels = first.channel_mode == 3 ? 1 : 2;
  r.sample_rate = frame.sample_rate;
  r.byte_rate = frame.bitrate * 125u;
  r.padding_flag = first.padding;
  r.block_size = static_cast<uint16_t>(frame.length);
  report.Text(FormatText("ID=%hu\r\nFlags=%lu\r\nBlock=%hu\r\nFrame=%hu\r\nDelay=%hu\r\n", static_cast<unsigned short>(1),
                         static_cast<unsigned long>(r.padding_flag), static_cast<unsigned short>(r.block_size),
                         static_cast<unsigned short>(1), static_cast<unsigned short>(MPEG_CODEC_DELAY)));

  // The rest of the first frame: the Xing header is looked for in it.
  uint8_t body[kLongestFrame];
  uint32_t body_read = 0;
  if (source.Seek(static_cast<uint32_t>(span.frame_start + 4))) body_read = source.Read(body, frame.length - 4);

  const bool inside_sound = span.frame_start + frame.length + 4 <= span.sound_end;
  const double frame_seconds = CheckNextHeader(source, frame, inside_sound, report, r);
  if (frame_seconds > 0.0) ReadVbrHeader(body, body_read, frame, frame_seconds, audio_bytes, report, r);

  record = MakeMpegRecord(r);
  if (edges) *edges = {head, tail};
  return ANALYSIS_OK;
}
