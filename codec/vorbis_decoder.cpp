#include "codec/vorbis_decoder.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kBytesPerSample = 2;
// A Vorbis packet gives at most half the long block size, 8192 / 2 frames.
constexpr size_t kMaxPacketFrames = 4096;
// Variable-bitrate streams spend far fewer bytes than their nominal rate on
// quiet or simple sound (a pure tone takes a sixth of it): until the stream
// shows its own ratio, the estimate allows eight times the promised one.
constexpr double kNominalMargin = 8.0;
// PCM bytes per stream byte when the formats promise none: a 22 kbit/s stream
// of 16-bit stereo at 44.1 kHz.
constexpr double kUnknownRatio = 64.0;
// Once this many audio bytes have been decoded, their ratio (twice over, for
// passages that compress better) is trusted beside the promised one.
constexpr uint64_t kObservedAfterBytes = 4096;
constexpr double kObservedMargin = 2.0;
// Whatever is promised or observed, an estimate counts between one and
// VorbisDecoder::kMaxRatio PCM bytes per stream byte (music takes 10 to 40,
// the pages of a pure tone up to 200): a caller's byte rate of 1 (or of
// 4 GB/s), or a run of silent packets, does not make a block cost hundreds
// of megabytes (or nothing). What a silent passage decodes to beyond that
// waits for the next calls.
constexpr double kMinRatio = 1.0;
// Frames kept back between calls, for calls whose input completes no page
// (one each): enough for a run of 64 such calls, blocks of 128 bytes for a
// page of 8 KB. A caller that never says the stream has ended loses them
// (1.5 ms at 44.1 kHz).
constexpr size_t kKeptFrames = 64;
// Input is handed to libogg in pieces of this size while there is room to
// decode into, so that a large source does not sit in libogg's buffer whole.
constexpr size_t kFeedPiece = 64 * 1024;
// Without room, stream bytes wait in libogg only up to this many; the caller
// is told how much it took and hands the rest again. Blocks that Wine's
// wave mapper (which never hands the rest again) and TAPEON convert, at most
// 1 MB and 16 KB, fit whole while the destination is the estimate.
constexpr size_t kMostWaiting = 1u << 20;

// A comment header with no vendor and no comments, given to libvorbis in
// place of the stream's own: the driver uses no comments, and a stream's
// comment header may hold millions of them.
constexpr unsigned char kEmptyComment[] = {3, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, 0, 0, 0, 0, 1};

bool IsCommentHeader(const unsigned char* bytes, long size) {
  return size >= 7 && bytes[0] == 3 && std::memcmp(bytes + 1, "vorbis", 6) == 0;
}

// No packet ends in the page: the one under way goes on in the next.
bool EndsNoPacket(const ogg_page& page) {
  const int segments = page.header[26];
  for (int k = 0; k < segments; ++k)
    if (page.header[27 + k] < 255) return false;
  return true;
}

// The page begins a comment header that goes on past it.
bool BeginsLongComment(const ogg_page& page) {
  return !ogg_page_continued(&page) && page.header[26] > 0 && EndsNoPacket(page) &&
         IsCommentHeader(page.body, page.body_len);
}

}  // namespace

// A node of a balanced search tree (AVL) whose nodes are blocks of the
// stream's budget (the links by serial number, the headers kept by their
// bytes): finding and adding take logarithmic time whatever the stream's
// serial numbers or headers, with no memory beyond the nodes.
struct VorbisTreeNode {
  VorbisTreeNode* less;
  VorbisTreeNode* more;
  int height;
};

namespace {


int HeightOf(const VorbisTreeNode* node) { return node != nullptr ? node->height : 0; }

void Measure(VorbisTreeNode* node) { node->height = 1 + std::max(HeightOf(node->less), HeightOf(node->more)); }

VorbisTreeNode* RotateToMore(VorbisTreeNode* node) {
  VorbisTreeNode* top = node->less;
  node->less = top->more;
  top->more = node;
  Measure(node);
  Measure(top);
  return top;
}

VorbisTreeNode* RotateToLess(VorbisTreeNode* node) {
  VorbisTreeNode* top = node->more;
  node->more = top->less;
  top->less = node;
  Measure(node);
  Measure(top);
  return top;
}

VorbisTreeNode* Rebalance(VorbisTreeNode* node) {
  Measure(node);
  const int lean = HeightOf(node->less) - HeightOf(node->more);
  if (lean > 1) {
    if (HeightOf(node->less->less) < HeightOf(node->less->more)) node->less = RotateToLess(node->less);
    return RotateToMore(node);
  }
  if (lean < -1) {
    if (HeightOf(node->more->more) < HeightOf(node->more->less)) node->more = RotateToMore(node->more);
    return RotateToLess(node);
  }
  return node;
}

// Adds `node` (not in the tree, with no equal there) below `root`; the new
// root. `order(a, b)` is negative, zero or positive as a is less, equal or more.
template <class Order>
VorbisTreeNode* Insert(VorbisTreeNode* root, VorbisTreeNode* node, Order order) {
  if (root == nullptr) {
    node->less = node->more = nullptr;
    node->height = 1;
    return node;
  }
  if (order(node, root) < 0)
    root->less = Insert(root->less, node, order);
  else
    root->more = Insert(root->more, node, order);
  return Rebalance(root);
}

// The node `compare` finds equal (compare(node) is negative, zero or
// positive as what is sought is less, equal or more), or nullptr.
template <class Compare>
VorbisTreeNode* Find(VorbisTreeNode* root, Compare compare) {
  while (root != nullptr) {
    const int c = compare(root);
    if (c == 0) return root;
    root = c < 0 ? root->less : root->more;
  }
  return nullptr;
}

// What the codebooks of one setup header may declare in all: entries, and
// entries times dimensions (the decoder's tables grow with both). oggenc's
// setup headers, from 8 kHz mono to 48 kHz with 8 channels and qualities -1
// to 10, hold 16 to 44 books of at most 6561 entries, at most 13411 entries
// and 63000 values in all, and fewer entries than a third of the header's
// bits. These bounds are far above that and keep a hostile header within
// some tens of megabytes.
constexpr uint64_t kMaxSetupEntries = 1u << 20;
constexpr uint64_t kMaxSetupValues = 1u << 22;
constexpr uint64_t kSetupEntriesPerBit = 8;

// The WAVE order of the channels of a Vorbis stream with 1 to 8 channels:
// for each WAVE position, the Vorbis channel that goes there, and the WAVE
// speaker mask of that layout. Vorbis orders them front left, centre, front
// right, (side left, side right,) rear left, rear right, (rear centre,) LFE;
// WAVE front left, front right, centre, LFE, back left, back right, back
// centre, side left, side right.
struct Layout {
  int vorbis_channel[VorbisDecoder::kMaxChannels];
  uint32_t wave_mask;
};
constexpr Layout kLayouts[VorbisDecoder::kMaxChannels] = {
    {{0}, 0x4},                        // mono: front centre
    {{0, 1}, 0x3},                     // stereo
    {{0, 2, 1}, 0x7},                  // L C R
    {{0, 1, 2, 3}, 0x33},              // quadraphonic
    {{0, 2, 1, 3, 4}, 0x37},           // 5.0
    {{0, 2, 1, 5, 3, 4}, 0x3F},        // 5.1
    {{0, 2, 1, 6, 5, 3, 4}, 0x70F},    // 6.1: back centre, sides
    {{0, 2, 1, 7, 5, 6, 3, 4}, 0x63F}  // 7.1: back and sides
};

int16_t ToSample(float value) {
  // Rounded to nearest as libvorbisfile does, so the output equals oggdec's.
  const long v = std::lrint(value * 32768.f);
  return static_cast<int16_t>(std::clamp<long>(v, -32768, 32767));
}

// Reads a Vorbis packet's bits, least significant first; past its end it
// reads zeros and ok() turns false for good.
class BitCursor {
 public:
  BitCursor(const uint8_t* data, size_t size) : data_(data), bits_(static_cast<uint64_t>(size) * 8) {}
  uint32_t Read(int count) {
    uint32_t value = 0;
    for (int k = 0; k < count; ++k) {
      if (at_ >= bits_) {
        ok_ = false;
        return 0;
      }
      value |= static_cast<uint32_t>((data_[at_ >> 3] >> (at_ & 7)) & 1) << k;
      ++at_;
    }
    return value;
  }
  // Passes over `count` bits at once.
  void Skip(uint64_t count) {
    if (count > bits_ - at_) {
      at_ = bits_;
      ok_ = false;
    } else {
      at_ += count;
    }
  }
  bool ok() const { return ok_; }
  uint64_t bits() const { return bits_; }

 private:
  const uint8_t* data_;
  uint64_t bits_;
  uint64_t at_ = 0;
  bool ok_ = true;
};

int BitsOf(uint32_t v) {
  int n = 0;
  for (; v != 0; v >>= 1) ++n;
  return n;
}

// The greatest v with v^dimensions <= entries (the value count of a
// codebook of lookup type 1).
uint64_t Lookup1Values(uint32_t entries, uint32_t dimensions) {
  if (dimensions == 0 || entries == 0) return 0;
  auto fits = [&](uint64_t v) {
    uint64_t product = 1;
    for (uint32_t k = 0; k < dimensions; ++k) {
      product *= v;
      if (product > entries) return false;
      if (v == 1) return true;
    }
    return true;
  };
  uint64_t v = static_cast<uint64_t>(std::pow(static_cast<double>(entries), 1.0 / dimensions));
  v = std::max<uint64_t>(v, 1);
  while (v > 1 && !fits(v)) --v;
  while (fits(v + 1)) ++v;
  return v;
}

// Whether the codebooks of a setup header stay within what a decoder may
// spend on them. A header that cannot be walked is left to libvorbis, which
// refuses it.
bool SetupWithinBounds(const uint8_t* packet, size_t size) {
  BitCursor bits(packet, size);
  bits.Skip(7 * 8);  // packet type and "vorbis"
  const uint32_t books = bits.Read(8) + 1;
  const uint64_t max_entries = std::min(kMaxSetupEntries, bits.bits() * kSetupEntriesPerBit);
  uint64_t entries_in_all = 0;
  uint64_t values_in_all = 0;
  for (uint32_t b = 0; b < books && bits.ok(); ++b) {
    if (bits.Read(24) != 0x564342) return true;
    const uint32_t dimensions = bits.Read(16);
    const uint32_t entries = bits.Read(24);
    entries_in_all += entries;
    values_in_all += static_cast<uint64_t>(entries) * std::max<uint32_t>(dimensions, 1);
    if (entries_in_all > max_entries || values_in_all > kMaxSetupValues) return false;
    if (bits.Read(1) == 0) {  // lengths listed entry by entry
      const bool sparse = bits.Read(1) != 0;
      for (uint32_t e = 0; e < entries && bits.ok(); ++e)
        if (!sparse || bits.Read(1) != 0) bits.Skip(5);
    } else {  // ordered: how many entries have each length
      uint32_t length = bits.Read(5) + 1;
      for (uint32_t e = 0; e < entries && bits.ok() && length <= 32; ++length)
        e += bits.Read(BitsOf(entries - e));
    }
    const uint32_t lookup = bits.Read(4);
    if (lookup == 1 || lookup == 2) {
      bits.Skip(32 + 32);
      const uint32_t value_bits = bits.Read(4) + 1;
      bits.Skip(1);
      const uint64_t values =
          lookup == 1 ? Lookup1Values(entries, dimensions) : static_cast<uint64_t>(entries) * dimensions;
      bits.Skip(values * value_bits);
    } else if (lookup != 0) {
      return true;
    }
  }
  return true;
}

}  // namespace


// The packet of a header, kept for a seek into its link; once its link is
// known, in the tree of kept headers (one copy of each).
struct VorbisDecoder::Packet {
  VorbisTreeNode node;
  size_t size;
  const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(this + 1); }
  // Orders packets by size, then by their bytes.
  static int Order(const VorbisTreeNode* a, const VorbisTreeNode* b) {
    const auto& p = reinterpret_cast<const Packet&>(*a);
    const auto& q = reinterpret_cast<const Packet&>(*b);
    if (p.size != q.size) return p.size < q.size ? -1 : 1;
    return std::memcmp(p.bytes(), q.bytes(), p.size);
  }
};

// A playable link whose headers were read, in the tree of links by serial
// number: a seek that lands in one of its pages decodes with its headers.
// Links with the same headers share them.
struct VorbisDecoder::KnownLink {
  VorbisTreeNode node;
  int serial;
  const Packet* ident;
  const Packet* setup;
};

// Lives in the stream's budget, and goes with it: never destroyed, only
// released (what libvorbis had half-built included).
struct VorbisDecoder::Libs {
  ogg_sync_state sync;
  ogg_stream_state stream;
  bool stream_open;
  bool page_seen;
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  bool dsp_open;
  int headers;
  bool skipping_comment;  // the pages of a comment header are passed over

  void ClearVorbis() {
    if (dsp_open) {
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
      dsp_open = false;
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    headers = 0;
  }
  // Ready for the headers of a new logical stream.
  void RestartVorbis() {
    ClearVorbis();
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  void CloseStream() {
    if (stream_open) ogg_stream_clear(&stream);
    stream_open = false;
    skipping_comment = false;
  }
  void OpenStream(int serial) {
    if (stream_open) {
      ogg_stream_reset_serialno(&stream, serial);
    } else {
      ogg_stream_init(&stream, serial);
      stream_open = true;
    }
  }
};

VorbisDecoder::VorbisDecoder(int channels, double nominal_ratio, size_t budget)
    : channels_(std::clamp(channels, 1, kMaxChannels)),
      nominal_ratio_(nominal_ratio > 0 ? std::min(nominal_ratio, kMaxRatio) : 0.0),
      budget_(budget) {}

uint32_t VorbisDecoder::WaveChannelMask(int channels) {
  return channels >= 1 && channels <= kMaxChannels ? kLayouts[channels - 1].wave_mask : 0;
}

void VorbisDecoder::Reset() {
  budget_.Release();
  Forget();
  exhausted_ = false;
  state_ = State::kHeaders;
  link_played_ = false;
  rate_ = 0;
  searched_ = 0;
  audio_in_ = 0;
  audio_out_ = 0;
}

// The budget has been released: nothing it held is pointed to.
void VorbisDecoder::Forget() {
  libs_ = nullptr;
  held_ = nullptr;
  held_at_ = held_end_ = held_capacity_ = 0;
  ident_ = setup_ = nullptr;
  links_ = nullptr;
  packets_ = nullptr;
  playing_ = nullptr;
}

// The stream asked for more than its budget, which Run has released: it
// decodes nothing more.
void VorbisDecoder::Exhaust() {
  Forget();
  state_ = State::kFailed;
  exhausted_ = true;
}

void VorbisDecoder::Restart() {
  if (exhausted_) return;
  if (links_ == nullptr) {
    Reset();
    return;
  }
  if (!budget_.Run([&] { RestartWithin(); })) Exhaust();
}

void VorbisDecoder::RestartWithin() {
  Libs& l = *libs_;
  ogg_sync_reset(&l.sync);
  if (l.stream_open) ogg_stream_reset(&l.stream);
  l.skipping_comment = false;
  held_at_ = held_end_ = 0;
  state_ = State::kSeeking;
}

DecodeResult VorbisDecoder::Convert(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size,
                                    bool last) {
  DecodeResult result;
  result.consumed = input_size;
  if (exhausted_) return result;
  size_t produced = 0, consumed = 0;
  if (budget_.Run([&] { produced = ConvertWithin(input, input_size, output, output_size, last, &consumed); })) {
    result.produced = produced;
    result.consumed = consumed;
  } else {
    Exhaust();
  }
  return result;
}

void VorbisDecoder::StartLibs() {
  libs_ = static_cast<Libs*>(budget_.Allocate(sizeof(Libs), true));
  ogg_sync_init(&libs_->sync);
  vorbis_info_init(&libs_->info);
  vorbis_comment_init(&libs_->comment);
  held_capacity_ = (kKeptFrames + kMaxPacketFrames) * static_cast<size_t>(channels_) * kBytesPerSample;
  held_ = static_cast<uint8_t*>(budget_.Allocate(held_capacity_, false));
}

size_t VorbisDecoder::ConvertWithin(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size,
                                    bool last, size_t* consumed) {
  if (libs_ == nullptr) StartLibs();
  const size_t frame = static_cast<size_t>(channels_) * kBytesPerSample;
  const size_t keep = last || input_size == 0 ? 0 : kKeptFrames * frame;
  size_t written = HandOut(output, output_size, keep);
  size_t at = 0;
  for (;;) {
    while (output_size - written >= frame && state_ != State::kFailed && DecodeNextPacket())
      written += HandOut(output + written, output_size - written, keep);
    // A stream that cannot be decoded takes everything: none of it will be.
    if (state_ == State::kFailed) at = input_size;
    if (at == input_size) break;
    // A piece while there is room to decode into; without room the rest
    // when it fits beside what waits, and otherwise a top-up once half of
    // what may wait has been decoded (each top-up moves what waits to the
    // front of libogg's buffer: a host that converts a large source into a
    // small destination would have the megabyte moved at every call).
    const size_t rest = input_size - at;
    size_t n = std::min(kFeedPiece, rest);
    if (output_size - written < frame) {
      const size_t waiting = UndecodedBytes();
      n = waiting + rest <= kMostWaiting ? rest : waiting <= kMostWaiting / 2 ? kMostWaiting - waiting : 0;
      if (n == 0) break;
    }
    char* buffer = ogg_sync_buffer(&libs_->sync, static_cast<long>(n));
    if (buffer == nullptr) {
      state_ = State::kFailed;
    } else {
      std::memcpy(buffer, input + at, n);
      ogg_sync_wrote(&libs_->sync, static_cast<long>(n));
    }
    at += n;
  }
  *consumed = at;
  // Nothing else to give: one of the frames kept back.
  if (written == 0) written = HandOut(output, std::min(output_size, frame), 0);
  return written;
}

// One step: a packet decoded, or a page taken in; false when the input held
// nothing more to take.
bool VorbisDecoder::DecodeNextPacket() {
  Libs& l = *libs_;
  if (l.stream_open && (state_ == State::kHeaders || state_ == State::kAudio)) {
    ogg_packet packet;
    const int got = ogg_stream_packetout(&l.stream, &packet);
    if (got > 0) {
      if (state_ == State::kAudio)
        AudioPacket(&packet);
      else
        HeaderPacket(&packet);
      return true;
    }
    if (got < 0) return true;  // a hole where a page was lost: go on after it
  }
  return NextPage();
}

bool VorbisDecoder::NextPage() {
  Libs& l = *libs_;
  for (;;) {
    // Nothing buffered (libogg's buffer may not even exist yet): no page.
    if (l.sync.fill <= l.sync.returned) return false;
    ogg_page page;
    const long got = ogg_sync_pageseek(&l.sync, &page);
    if (got == 0) return false;
    if (got < 0) {
      // Bytes that are no page (garbage, a page with a bad checksum) are skipped.
      if (!l.page_seen) {
        searched_ += static_cast<size_t>(-got);
        if (searched_ > kMaxSearchBytes) {
          state_ = State::kFailed;
          return false;
        }
      }
      continue;
    }
    l.page_seen = true;
    const int serial = ogg_page_serialno(&page);
    if (ogg_page_bos(&page)) {
      if (state_ == State::kHeaders && l.stream_open) continue;  // another stream multiplexed beside
      // The first link, or the next one of a chained file: its own headers follow.
      l.RestartVorbis();
      StreamBudget::Free(const_cast<Packet*>(ident_));
      StreamBudget::Free(const_cast<Packet*>(setup_));
      ident_ = setup_ = nullptr;
      playing_ = nullptr;
      state_ = State::kHeaders;
      l.OpenStream(serial);
    } else if (state_ == State::kSkipLink) {
      continue;
    } else if (state_ == State::kSeeking) {
      // Where the caller moved to: only a link whose headers are known.
      const KnownLink* link = FindLink(serial);
      if (link == nullptr) continue;
      if (link == playing_ && l.dsp_open) {
        vorbis_synthesis_restart(&l.dsp);
      } else if (!PlayLink(*link)) {
        continue;
      }
      l.OpenStream(serial);
      state_ = State::kAudio;
    } else if (!l.stream_open) {
      if (link_played_) continue;  // the rest of a link that is not Vorbis
      // Past the first pages and no Vorbis stream began among them.
      state_ = State::kFailed;
      return false;
    } else if (serial != l.stream.serialno) {
      continue;
    }
    if (PassesOverComment(&page)) continue;
    ogg_stream_pagein(&l.stream, &page);
    return true;
  }
}

// A comment header that spans pages (cover art makes one of tens of
// megabytes) is passed over without being put together, which libogg would
// do whole, holding it twice for a moment while its buffer grows: its pages
// but the last are left out, and libogg, finding them missing, drops what
// is left of it from the last (a continued packet after a gap). libvorbis
// is given the empty comment in its place.
bool VorbisDecoder::PassesOverComment(const void* page_ptr) {
  Libs& l = *libs_;
  const auto& page = *static_cast<const ogg_page*>(page_ptr);
  if (l.skipping_comment) {
    l.skipping_comment = EndsNoPacket(page);
    return l.skipping_comment;
  }
  const bool awaited = state_ == State::kAudio || (state_ == State::kHeaders && l.headers == 1);
  if (!awaited || !BeginsLongComment(page)) return false;
  if (state_ == State::kHeaders) {
    ogg_packet packet = {};
    packet.packet = const_cast<unsigned char*>(kEmptyComment);
    packet.bytes = sizeof kEmptyComment;
    if (vorbis_synthesis_headerin(&l.info, &l.comment, &packet) != 0) {
      LeaveLink();
      return true;
    }
    l.headers = 2;
  }
  l.skipping_comment = true;
  return true;
}

void VorbisDecoder::HeaderPacket(void* packet_ptr) {
  Libs& l = *libs_;
  auto* packet = static_cast<ogg_packet*>(packet_ptr);
  // libvorbis is given an empty comment header in place of the stream's.
  ogg_packet given = *packet;
  if (l.headers == 1 && IsCommentHeader(packet->packet, packet->bytes)) {
    given.packet = const_cast<unsigned char*>(kEmptyComment);
    given.bytes = sizeof kEmptyComment;
  }
  // The setup header is measured before libvorbis allocates what it asks for.
  const bool within = l.headers != 2 || SetupWithinBounds(packet->packet, static_cast<size_t>(packet->bytes));
  if (!within || vorbis_synthesis_headerin(&l.info, &l.comment, &given) != 0) {
    if (within && l.headers == 0 && packet->b_o_s) {
      // The stream is not Vorbis: try the next one that begins.
      l.RestartVorbis();
      l.CloseStream();
      return;
    }
    LeaveLink();
    return;
  }
  if (l.headers == 0) ident_ = Keep(packet->packet, static_cast<size_t>(packet->bytes));
  if (l.headers == 2) setup_ = Keep(packet->packet, static_cast<size_t>(packet->bytes));
  if (++l.headers == 3) LinkReady();
}

// All three headers are read: the link plays if it has the output's rate.
void VorbisDecoder::LinkReady() {
  Libs& l = *libs_;
  if (rate_ == 0) rate_ = static_cast<uint32_t>(l.info.rate);
  if (static_cast<uint32_t>(l.info.rate) != rate_ || l.info.channels < 1 || l.info.channels > kMaxChannels) {
    // Played at the output's rate, it would sound at the wrong speed.
    link_played_ = true;
    LeaveLink();
    return;
  }
  if (!StartSynthesis()) {
    LeaveLink();
    return;
  }
  link_played_ = true;
  state_ = State::kAudio;
  RememberLink(l.stream.serialno);
}

// The decoder of a link whose three headers libvorbis has read.
bool VorbisDecoder::StartSynthesis() {
  Libs& l = *libs_;
  if (vorbis_synthesis_init(&l.dsp, &l.info) != 0) return false;
  vorbis_block_init(&l.dsp, &l.block);
  l.dsp_open = true;
  // A link with fewer channels than the output repeats its last one; one
  // with more gives only the first ones (in the WAVE order).
  const Layout& layout = kLayouts[l.info.channels - 1];
  for (int c = 0; c < channels_; ++c) source_of_[c] = layout.vorbis_channel[std::min(c, l.info.channels - 1)];
  return true;
}

// A seek landed in a known link other than the one set up: its headers
// again. False when they no longer give a decoder (they did once).
bool VorbisDecoder::PlayLink(const KnownLink& link) {
  Libs& l = *libs_;
  l.RestartVorbis();
  playing_ = nullptr;
  ogg_packet packet = {};
  packet.b_o_s = 1;
  packet.packet = const_cast<unsigned char*>(link.ident->bytes());
  packet.bytes = static_cast<long>(link.ident->size);
  if (vorbis_synthesis_headerin(&l.info, &l.comment, &packet) != 0) return false;
  packet.b_o_s = 0;
  packet.packet = const_cast<unsigned char*>(kEmptyComment);
  packet.bytes = sizeof kEmptyComment;
  if (vorbis_synthesis_headerin(&l.info, &l.comment, &packet) != 0) return false;
  packet.packet = const_cast<unsigned char*>(link.setup->bytes());
  packet.bytes = static_cast<long>(link.setup->size);
  if (vorbis_synthesis_headerin(&l.info, &l.comment, &packet) != 0) return false;
  l.headers = 3;
  if (!StartSynthesis()) return false;
  playing_ = &link;
  return true;
}

// A link that cannot be played: a later one is waited for; the first one
// fails the stream.
void VorbisDecoder::LeaveLink() {
  Libs& l = *libs_;
  l.RestartVorbis();
  l.CloseStream();
  StreamBudget::Free(const_cast<Packet*>(ident_));
  StreamBudget::Free(const_cast<Packet*>(setup_));
  ident_ = setup_ = nullptr;
  playing_ = nullptr;
  state_ = link_played_ ? State::kSkipLink : State::kFailed;
}

const VorbisDecoder::Packet* VorbisDecoder::Keep(const uint8_t* bytes, size_t size) {
  auto* packet = static_cast<Packet*>(budget_.Allocate(sizeof(Packet) + size, false));
  packet->size = size;
  std::memcpy(packet + 1, bytes, size);
  return packet;
}

// The link now playing becomes known by its serial number, with the
// headers just read (those of an earlier link when they are the same).
void VorbisDecoder::RememberLink(int serial) {
  const Packet* ident = Share(ident_);
  const Packet* setup = Share(setup_);
  ident_ = setup_ = nullptr;
  if (ident == nullptr || setup == nullptr) return;
  auto* link = const_cast<KnownLink*>(FindLink(serial));
  if (link == nullptr) {
    link = static_cast<KnownLink*>(budget_.Allocate(sizeof(KnownLink), true));
    link->serial = serial;
    links_ = Insert(links_, &link->node, [](const VorbisTreeNode* a, const VorbisTreeNode* b) {
      const int p = reinterpret_cast<const KnownLink*>(a)->serial, q = reinterpret_cast<const KnownLink*>(b)->serial;
      return p < q ? -1 : p > q ? 1 : 0;
    });
  }
  link->ident = ident;
  link->setup = setup;
  playing_ = link;
}

// The kept copy of `packet` (a header just read): an equal one kept
// before, `packet` then freed, or `packet` itself, kept from now on.
const VorbisDecoder::Packet* VorbisDecoder::Share(const Packet* packet) {
  if (packet == nullptr) return nullptr;
  VorbisTreeNode* const equal =
      Find(packets_, [&](const VorbisTreeNode* node) { return Packet::Order(&packet->node, node); });
  if (equal != nullptr) {
    StreamBudget::Free(const_cast<Packet*>(packet));
    return reinterpret_cast<const Packet*>(equal);
  }
  packets_ = Insert(packets_, const_cast<VorbisTreeNode*>(&packet->node), Packet::Order);
  return packet;
}

const VorbisDecoder::KnownLink* VorbisDecoder::FindLink(int serial) const {
  return reinterpret_cast<const KnownLink*>(Find(links_, [serial](const VorbisTreeNode* node) {
    const int k = reinterpret_cast<const KnownLink*>(node)->serial;
    return serial < k ? -1 : serial > k ? 1 : 0;
  }));
}

void VorbisDecoder::AudioPacket(void* packet_ptr) {
  Libs& l = *libs_;
  auto* packet = static_cast<ogg_packet*>(packet_ptr);
  // A damaged packet is skipped; the stream goes on with the next one.
  if (vorbis_synthesis(&l.block, packet) != 0 || vorbis_synthesis_blockin(&l.dsp, &l.block) != 0) return;
  // What is held moves to the front: the buffer holds only what waits.
  if (held_at_ > 0) {
    std::memmove(held_, held_ + held_at_, held_end_ - held_at_);
    held_end_ -= held_at_;
    held_at_ = 0;
  }
  const size_t frame = static_cast<size_t>(channels_) * kBytesPerSample;
  const size_t before = held_end_;
  float** pcm = nullptr;
  int frames;
  while ((frames = vorbis_synthesis_pcmout(&l.dsp, &pcm)) > 0) {
    // A packet gives at most kMaxPacketFrames, and a packet is decoded only
    // once no more than the kept frames wait: it always fits.
    const size_t fit = std::min(static_cast<size_t>(frames), (held_capacity_ - held_end_) / frame);
    size_t at = held_end_;
    for (size_t i = 0; i < fit; ++i) {
      for (int c = 0; c < channels_; ++c) {
        const int16_t v = ToSample(pcm[source_of_[c]][i]);
        held_[at++] = static_cast<uint8_t>(v & 0xFF);
        held_[at++] = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
    }
    held_end_ = at;
    vorbis_synthesis_read(&l.dsp, frames);
  }
  audio_in_ += static_cast<uint64_t>(packet->bytes);
  audio_out_ += held_end_ - before;
}

// Hands out whole frames of what is held, all but `keep` bytes of it.
size_t VorbisDecoder::HandOut(uint8_t* output, size_t room, size_t keep) {
  const size_t frame = static_cast<size_t>(channels_) * kBytesPerSample;
  const size_t available = held_bytes() > keep ? held_bytes() - keep : 0;
  const size_t n = std::min(available, room / frame * frame);
  if (n > 0) std::memcpy(output, held_ + held_at_, n);
  held_at_ += n;
  if (held_at_ == held_end_) held_at_ = held_end_ = 0;
  return n;
}

// Stream bytes waiting to be decoded: those libogg has not made pages of
// yet, and while a link plays those of its packets not yet decoded (the
// headers of a link, a comment packet of megabytes among them, are no sound
// to come).
size_t VorbisDecoder::UndecodedBytes() const {
  if (libs_ == nullptr || state_ == State::kFailed) return 0;
  const Libs& l = *libs_;
  size_t n = static_cast<size_t>(l.sync.fill - l.sync.returned);
  if (l.stream_open && state_ == State::kAudio) n += static_cast<size_t>(l.stream.body_fill - l.stream.body_returned);
  return n;
}

double VorbisDecoder::Ratio() const {
  double ratio = nominal_ratio_ > 0 ? nominal_ratio_ * kNominalMargin : kUnknownRatio;
  if (audio_in_ >= kObservedAfterBytes)
    ratio = std::max(ratio, static_cast<double>(audio_out_) / static_cast<double>(audio_in_) * kObservedMargin);
  return std::clamp(ratio, kMinRatio, kMaxRatio);
}

size_t VorbisDecoder::EstimateOutput(size_t input_size) const {
  if (exhausted_) return 0;
  const size_t frame = static_cast<size_t>(channels_) * kBytesPerSample;
  const double estimate = static_cast<double>(held_bytes()) +
                          (static_cast<double>(UndecodedBytes()) + static_cast<double>(input_size)) * Ratio() +
                          static_cast<double>(2 * kMaxPacketFrames * frame);
  const size_t bytes = static_cast<size_t>(std::min(estimate, static_cast<double>(kMaxEstimate)));
  return bytes / frame * frame;
}

size_t VorbisDecoder::EstimateInput(size_t output_size) const {
  // Ratio() is at least kMinRatio, so this is no more than output_size.
  return static_cast<size_t>(std::min(static_cast<double>(output_size) / Ratio(), static_cast<double>(output_size)));
}
