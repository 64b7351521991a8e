#include "sound_files/ogg_analysis.h"

#include "base/format_record.h"

namespace {

// The first page of a stream: "OggS", the stream structure version 0, the
// header type, granule position, serial number, sequence number and CRC,
// then the count of its segments, their lacing values and the packets.
constexpr uint32_t kPageHeaderBytes = 27;
constexpr uint32_t kSegmentCountOffset = 26;
constexpr uint32_t kLacingEnds = 255;  // a lacing value below this ends a packet
// A Vorbis stream's first packet is its identification header: type 1,
// "vorbis", version 0, channels, sample rate, the maximum, nominal and
// minimum bitrates, the block sizes and the framing bit: 30 bytes.
constexpr uint8_t kIdentificationType = 1;
constexpr uint32_t kIdentificationBytes = 30;
// The most bytes the first page's header and the identification header take.
constexpr uint32_t kFirstPacketEnd = kPageHeaderBytes + 255 + kIdentificationBytes;

// The first page's header at `offset`: "OggS" and version 0. `bytes` gets
// what there is of the page up to the end of a first packet (at most
// kFirstPacketEnd bytes); returns how many that is, 0 when no page begins.
uint32_t ReadFirstPage(ByteSource& source, uint32_t offset, uint8_t (&bytes)[kFirstPacketEnd]) {
  if (!source.Seek(offset)) return 0;
  const uint32_t got = source.Read(bytes, kFirstPacketEnd);
  ByteCursor page(bytes, got);
  const bool capture = page.Tag("OggS");
  const uint8_t version = page.U8();
  return capture && page.ok() && version == 0 ? got : 0;
}

}  // namespace

bool IsOggStream(ByteSource& source, uint32_t offset) {
  uint8_t bytes[kFirstPacketEnd];
  return ReadFirstPage(source, offset, bytes) != 0;
}

AnalysisResult AnalyzeOgg(ByteSource& source, uint32_t offset, AnalysisReport& report, std::vector<uint8_t>& record) {
  record.clear();
  uint8_t bytes[kFirstPacketEnd];
  const uint32_t got = ReadFirstPage(source, offset, bytes);
  if (got == 0) return ANALYSIS_NOT_MINE;

  // The first packet: its length from the lacing values, its bytes after
  // them. It must be a whole Vorbis identification header; an Ogg stream of
  // another codec (Opus, FLAC, Speex) is none.
  ByteCursor page(bytes, got);
  page.SeekTo(kSegmentCountOffset);
  const unsigned segments = page.U8();
  uint32_t packet_bytes = 0;
  for (unsigned k = 0; k < segments; ++k) {
    const uint8_t lacing = page.U8();
    packet_bytes += lacing;
    if (lacing < kLacingEnds) break;
  }
  page.SeekTo(kPageHeaderBytes + segments);
  const size_t packet_start = page.offset();
  const uint8_t type = page.U8();
  const bool vorbis = page.Tag("vorb") && page.U8() == 'i' && page.U8() == 's';
  const uint32_t version = page.U32LE();
  const unsigned channels = page.U8();
  const uint32_t sample_rate = page.U32LE();
  page.U32LE();  // maximum bitrate
  const uint32_t nominal_bitrate = page.U32LE();
  page.SeekTo(packet_start + kIdentificationBytes);
  if (!page.ok() || packet_bytes < kIdentificationBytes || type != kIdentificationType || !vorbis || version != 0)
    return ANALYSIS_NOT_MINE;

  report.Text(FormatText("freq=%lu\r\nrate=%lu\r\nchannel=%u\r\n", static_cast<unsigned long>(sample_rate),
                         static_cast<unsigned long>(nominal_bitrate), channels));
  report.Allocate(OGG_RECORD_SIZE);

  // The bitrate field is signed; the byte rate drops the fraction toward zero.
  record = MakeOggRecord(channels, sample_rate, static_cast<uint32_t>(static_cast<int32_t>(nominal_bitrate) / 8));
  return ANALYSIS_OK;
}

std::vector<uint8_t> MakeOggRecord(unsigned channels, uint32_t sample_rate, uint32_t byte_rate) {
  std::vector<uint8_t> record;
  record.reserve(OGG_RECORD_SIZE);
  LittleEndianWriter out(record);
  out.U16(WAVE_TAG_OGG_VORBIS1);
  out.U16(static_cast<uint16_t>(channels));
  out.U32(sample_rate);
  out.U32(byte_rate);
  out.U16(static_cast<uint16_t>(channels * 2));
  out.U16(16);
  out.U16(8);
  out.U32(0x20001214);
  out.U32(0x20001031);
  return record;
}
