#include "sound_files/mpeg_analysis.h"

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

// A frame can never be longer than this (MPEG-1 Layer II, 384 kbit/s, 32 kHz).
constexpr unsigned kLongestFrame = 144000u * 384u / 32000u + 1u;

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

// Finds the first frame after an ID3v2 tag: from 10 + tag size, four bytes at
// a time, up to the first 0xFF; offset ends where the candidate was read.
// False when the file ends first.
bool SearchAfterTag(ByteSource& source, uint64_t& offset, uint8_t candidate[4]) {
  for (;;) {
    if (offset > 0xFFFFFFFFu || !source.Seek(static_cast<uint32_t>(offset)) || !ReadRawHeader(source, candidate))
      return false;
    int k = 0;
    while (k < 4 && candidate[k] != 0xFF) ++k;
    if (k == 0) return true;
    offset += static_cast<unsigned>(k);  // k is 4 when no 0xFF was among them
  }
}

struct Record {
  uint16_t channels = 2;
  uint32_t sample_rate = 0;
  uint32_t byte_rate = 0;
  uint32_t padding_flag = 0;
  uint16_t block_size = 0;
};

std::vector<uint8_t> Serialize(const Record& r) {
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

}  // namespace

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
  return (h.sync == 0xFFF || h.sync == 0xFFE) && layer_code != 0 && h.rate_index != 3;
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
  const unsigned factor = version == MPEG_1 ? 144000u : 72000u;
  return factor * bitrate_kbit / sample_rate + padding;
}

unsigned XingOffset(MpegVersion version, bool single_channel) {
  if (version == MPEG_1) return single_channel ? 17 : 32;
  return single_channel ? 9 : 17;
}

AnalysisResult AnalyzeMpeg(ByteSource& source, uint32_t data_total, AnalysisReport& report, std::vector<uint8_t>& record,
                           uint32_t* audio_offset) {
  record.clear();
  const uint32_t stream_start = source.Position();
  uint64_t frame_start = stream_start;

  // The first header, or an ID3v2 tag before it.
  uint8_t bytes[4];
  if (!ReadRawHeader(source, bytes)) return ANALYSIS_NOT_MINE;
  if (bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
    uint8_t tag[6];  // version, flags, four size bytes of 7 bits each
    if (!ReadExact(source, tag, sizeof tag)) return ANALYSIS_NOT_MINE;
    const uint32_t tag_size = static_cast<uint32_t>(tag[2] & 0x7F) << 21 | static_cast<uint32_t>(tag[3] & 0x7F) << 14 |
                              static_cast<uint32_t>(tag[4] & 0x7F) << 7 | static_cast<uint32_t>(tag[5] & 0x7F);
    frame_start = static_cast<uint64_t>(stream_start) + 10 + tag_size;
    if (!SearchAfterTag(source, frame_start, bytes)) return ANALYSIS_NOT_MINE;
  }
  // The search read the candidate at a 32-bit offset at or after the start.
  const uint32_t skipped = static_cast<uint32_t>(frame_start - stream_start);
  // The stream's sound: what follows the tag.
  const uint32_t audio_bytes = data_total > skipped ? data_total - skipped : 0;

  MpegHeader first;
  if (!DecodeMpegHeader(BigEndian(bytes), first)) return ANALYSIS_NOT_MINE;
  const MpegVersion version = MpegVersionOf(first);
  const unsigned bitrate = MpegBitrate(version, first.layer, first.bitrate_index);
  const unsigned sample_rate = MpegSampleRate(version, first.rate_index);
  const unsigned frame_length = MpegFrameLength(version, first.layer, bitrate, sample_rate, first.padding);
  // A free-format or forbidden bitrate index gives no byte rate and no frame
  // length to read by: such a stream is not taken for MPEG audio. (The tables
  // give no frame longer than kLongestFrame.)
  if (bitrate == 0 || frame_length < 4 || frame_length > kLongestFrame) return ANALYSIS_NOT_MINE;

  report.Text(HeaderFieldsText(first));
  report.Allocate(MPEG_RECORD_SIZE);
  Record r;
  r.channels = first.channel_mode == 3 ? 1 : 2;
  r.sample_rate = sample_rate;
  r.byte_rate = bitrate * 125u;
  r.padding_flag = first.padding;
  r.block_size = static_cast<uint16_t>(frame_length);
  report.Text(FormatText("ID=%hu\r\nFlags=%lu\r\nBlock=%hu\r\nFrame=%hu\r\nDelay=%hu\r\n", static_cast<unsigned short>(1),
                         static_cast<unsigned long>(r.padding_flag), static_cast<unsigned short>(r.block_size),
                         static_cast<unsigned short>(1), static_cast<unsigned short>(MPEG_CODEC_DELAY)));

  // The rest of the first frame: the Xing header is looked for in it.
  uint8_t body[kLongestFrame];
  const uint32_t body_read = source.Read(body, frame_length - 4);

  auto finish = [&]() {
    record = Serialize(r);
    if (audio_offset) *audio_offset = skipped;
    return ANALYSIS_OK;
  };

  // The second frame's header.
  if (!ReadRawHeader(source, bytes)) {
    report.Box("read");
    return finish();
  }
  MpegHeader second;
  DecodeMpegHeader(BigEndian(bytes), second);
  if (second.sync != 0xFFF && second.sync != 0xFFE) {
    report.Box("fff");
    return finish();
  }
  if (second.layer == 0) {
    report.Box("layer");
    return finish();
  }
  if (second.rate_index == 3) {
    report.Box("rate");
    return finish();
  }

  const unsigned second_bitrate = MpegBitrate(version, second.layer, second.bitrate_index);
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
  // A second frame without a bitrate has no duration; the Xing frame count
  // cannot be turned into a time then.
  if (second_byte_rate == 0) return finish();
  const unsigned second_length = MpegFrameLength(version, first.layer, second_bitrate, sample_rate, second.padding);
  const double frame_seconds = static_cast<double>(second_length) / second_byte_rate;

  // The Xing header: "Xing", flags and frame count, inside the first frame.
  const unsigned xing = XingOffset(version, first.channel_mode == 3);
  ByteCursor cursor(body, body_read);
  cursor.SeekTo(xing);
  const bool tagged = cursor.Tag("Xing");
  const uint32_t flags = cursor.U32BE();
  const uint32_t frames = cursor.U32BE();
  if (!tagged || !cursor.ok()) return finish();
  if (!(flags & 1u)) report.UnownedBox("FLAG ERROR", "Xing");
  if (!(flags & 2u)) report.UnownedBox("FLAG ERROR", "Xing");

  const double duration = frames * frame_seconds;
  report.Text(FormatText("Xing\r\ntime=%f\r\n", duration));
  // A frame count of 0, or one so small that the rate would not fit, leaves
  // the byte rate of the frames.
  if (duration > 0.0) {
    const double average = audio_bytes / duration;
    if (average < 2147483648.0) {
      const uint32_t average_rate = static_cast<uint32_t>(average);
      report.Text(FormatText("avg=%ld data=%ld time=%f", AsLong(average_rate), AsLong(audio_bytes), duration));
      if (average_rate != 0) r.byte_rate = average_rate;
    }
  }
  return finish();
}
