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
// Larger estimates would ask the caller for more memory than a 32-bit
// process can give.
constexpr double kMaxEstimate = 256.0 * 1024 * 1024;

int16_t ToSample(float value) {
  // Rounded to nearest as libvorbisfile does, so the output equals oggdec's.
  const long v = std::lrint(value * 32768.f);
  return static_cast<int16_t>(std::clamp<long>(v, -32768, 32767));
}

}  // namespace

struct VorbisDecoder::Libs {
  ogg_sync_state sync;
  ogg_stream_state stream;
  bool stream_open = false;
  bool page_seen = false;
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  bool dsp_open = false;
  int headers = 0;

  Libs() {
    ogg_sync_init(&sync);
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~Libs() {
    ClearVorbis();
    if (stream_open) ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
  }
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

VorbisDecoder::VorbisDecoder(int channels, double nominal_ratio)
    : channels_(std::max(channels, 1)), nominal_ratio_(nominal_ratio), libs_(std::make_unique<Libs>()) {}

VorbisDecoder::~VorbisDecoder() = default;

void VorbisDecoder::Reset() {
  libs_ = std::make_unique<Libs>();
  state_ = State::kHeaders;
  held_.clear();
  held_at_ = 0;
  searched_ = 0;
  audio_in_ = 0;
  audio_out_ = 0;
}

DecodeResult VorbisDecoder::Convert(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size) {
  DecodeResult result;
  result.consumed = input_size;
  if (input_size > 0 && state_ != State::kFailed) {
    char* buffer = input_size <= 0x7FFFFFFF ? ogg_sync_buffer(&libs_->sync, static_cast<long>(input_size)) : nullptr;
    if (buffer == nullptr) {
      state_ = State::kFailed;
    } else {
      std::memcpy(buffer, input, input_size);
      ogg_sync_wrote(&libs_->sync, static_cast<long>(input_size));
    }
  }
  const size_t frame = static_cast<size_t>(channels_) * kBytesPerSample;
  size_t written = HandOut(output, output_size);
  while (output_size - written >= frame && state_ != State::kFailed && DecodeNextPacket())
    written += HandOut(output + written, output_size - written);
  result.produced = written;
  return result;
}

// One step: a packet decoded, or a page taken in; false when the input held
// nothing more to take.
bool VorbisDecoder::DecodeNextPacket() {
  Libs& l = *libs_;
  if (l.stream_open) {
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
      if (state_ == State::kAudio) {
        // The next link of a chained file: its own headers follow.
        l.RestartVorbis();
        state_ = State::kHeaders;
      } else if (l.stream_open) {
        continue;  // another stream multiplexed beside the Vorbis one
      }
      l.OpenStream(serial);
    } else if (!l.stream_open) {
      // Past the first pages and no Vorbis stream began among them.
      state_ = State::kFailed;
      return false;
    } else if (serial != l.stream.serialno) {
      continue;
    }
    ogg_stream_pagein(&l.stream, &page);
    return true;
  }
}

void VorbisDecoder::HeaderPacket(void* packet_ptr) {
  Libs& l = *libs_;
  auto* packet = static_cast<ogg_packet*>(packet_ptr);
  if (vorbis_synthesis_headerin(&l.info, &l.comment, packet) != 0) {
    if (l.headers == 0 && packet->b_o_s) {
      // The first stream is not Vorbis: try the next one that begins.
      l.RestartVorbis();
      l.CloseStream();
      return;
    }
    state_ = State::kFailed;
    return;
  }
  if (++l.headers < 3) return;
  if (vorbis_synthesis_init(&l.dsp, &l.info) != 0) {
    state_ = State::kFailed;
    return;
  }
  vorbis_block_init(&l.dsp, &l.block);
  l.dsp_open = true;
  state_ = State::kAudio;
}

void VorbisDecoder::AudioPacket(void* packet_ptr) {
  Libs& l = *libs_;
  auto* packet = static_cast<ogg_packet*>(packet_ptr);
  // A damaged packet is skipped; the stream goes on with the next one.
  if (vorbis_synthesis(&l.block, packet) != 0 || vorbis_synthesis_blockin(&l.dsp, &l.block) != 0) return;
  const int source_channels = l.info.channels;
  const size_t before = held_.size();
  float** pcm = nullptr;
  int frames;
  while ((frames = vorbis_synthesis_pcmout(&l.dsp, &pcm)) > 0) {
    size_t at = held_.size();
    held_.resize(at + static_cast<size_t>(frames) * channels_ * kBytesPerSample);
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < channels_; ++c) {
        // A stream with fewer channels than the output repeats its last one;
        // one with more gives only the first ones.
        const int16_t v = ToSample(pcm[std::min(c, source_channels - 1)][i]);
        held_[at++] = static_cast<uint8_t>(v & 0xFF);
        held_[at++] = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
    }
    vorbis_synthesis_read(&l.dsp, frames);
  }
  audio_in_ += static_cast<uint64_t>(packet->bytes);
  audio_out_ += held_.size() - before;
}

size_t VorbisDecoder::HandOut(uint8_t* output, size_t room) {
  const size_t frame = static_cast<size_t>(channels_) * kBytesPerSample;
  const size_t n = std::min(held_bytes(), room / frame * frame);
  if (n > 0) std::memcpy(output, held_.data() + held_at_, n);
  held_at_ += n;
  if (held_at_ == held_.size()) {
    held_.clear();
    held_at_ = 0;
  }
  return n;
}

size_t VorbisDecoder::UndecodedBytes() const {
  const Libs& l = *libs_;
  size_t n = static_cast<size_t>(l.sync.fill - l.sync.returned);
  if (l.stream_open) n += static_cast<size_t>(l.stream.body_fill - l.stream.body_returned);
  return n;
}

double VorbisDecoder::Ratio() const {
  double ratio = nominal_ratio_ > 0 ? nominal_ratio_ * kNominalMargin : kUnknownRatio;
  if (audio_in_ >= kObservedAfterBytes)
    ratio = std::max(ratio, static_cast<double>(audio_out_) / static_cast<double>(audio_in_) * kObservedMargin);
  return ratio;
}

size_t VorbisDecoder::EstimateOutput(size_t input_size) const {
  const size_t frame = static_cast<size_t>(channels_) * kBytesPerSample;
  const double estimate = static_cast<double>(held_bytes()) +
                          static_cast<double>(UndecodedBytes() + input_size) * Ratio() +
                          static_cast<double>(2 * kMaxPacketFrames * frame);
  const size_t bytes = static_cast<size_t>(std::min(estimate, kMaxEstimate));
  return (bytes + frame - 1) / frame * frame;
}

size_t VorbisDecoder::EstimateInput(size_t output_size) const {
  return static_cast<size_t>(static_cast<double>(output_size) / Ratio());
}
