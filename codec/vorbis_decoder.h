// Decoding core of the Ogg Vorbis codec driver: takes an Ogg Vorbis byte
// stream in pieces of any size and hands out 16-bit little-endian PCM in the
// WAVE channel order, with libogg finding the pages and packets and libvorbis
// decoding them.
// Portable: the Win32 driver (vorbis_acm_win32.cpp) and the native tests use it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct DecodeResult {
  size_t consumed = 0;  // input bytes taken (always all of them)
  size_t produced = 0;  // output bytes written (whole frames)
};

class VorbisDecoder {
 public:
  static constexpr int kMaxChannels = 8;

  // `channels`: channels of the PCM handed out (a link with another count is
  // mapped onto them). `nominal_ratio`: PCM bytes per stream byte that the
  // formats promise (PCM byte rate / stream byte rate), 0 when unknown; it
  // guides the output estimate until the stream shows its own ratio, and is
  // bounded whatever the caller claims. The PCM has the first link's sample
  // rate: later links of another rate are skipped (played at this one they
  // would sound at the wrong speed). The caller may play it at any rate.
  VorbisDecoder(int channels, double nominal_ratio);
  ~VorbisDecoder();
  VorbisDecoder(const VorbisDecoder&) = delete;
  VorbisDecoder& operator=(const VorbisDecoder&) = delete;

  // Takes all of `input` and writes as much PCM as fits into `output`. PCM
  // that does not fit, and pages not decoded yet, wait for the next call.
  // A few decoded frames are kept back so that a call with input gives at
  // least one frame once the sound has begun, even when its input completes
  // no page (some callers take an empty answer for a failure); a call
  // without input, or with `last`, hands them out too.
  DecodeResult Convert(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size,
                       bool last = false);
  // Output room that a Convert of `input_size` more bytes needs to hand out
  // everything it can decode, what is still held included (bounded by
  // kMaxEstimate, past which what does not fit waits for the next call).
  size_t EstimateOutput(size_t input_size) const;
  // Input bytes that may be given for `output_size` bytes of room.
  size_t EstimateInput(size_t output_size) const;
  // Forgets the stream: the next byte is the start of a new one.
  void Reset();
  // The next byte is anywhere in the same stream (the caller has moved in
  // it): the headers already read stay, the decoding starts afresh at the
  // next page. Without complete headers, as Reset.
  void Restart();

  // The stream cannot be decoded: its first packets are no Vorbis headers,
  // its setup asks for more than a real encoder writes, or no page was found
  // in the first kMaxSearchBytes.
  bool failed() const { return state_ == State::kFailed; }
  // Some PCM has been decoded since the start of the stream.
  bool decoded_any() const { return audio_out_ > 0; }
  // The headers of a link are read and its audio is being decoded.
  bool has_headers() const { return state_ == State::kAudio; }
  // Bytes of PCM decoded but not handed out yet.
  size_t held_bytes() const { return held_.size() - held_at_; }

  static constexpr size_t kMaxSearchBytes = 256 * 1024;
  static constexpr size_t kMaxEstimate = 256u * 1024 * 1024;

  // The WAVE speaker mask of `channels` channels in the order handed out
  // (the layouts Vorbis streams use for 1 to 8 channels).
  static uint32_t WaveChannelMask(int channels);

 private:
  // kSkipLink: a later link that cannot be played here (not Vorbis, damaged
  // headers, another sample rate than the first): its pages are passed over
  // up to the next link.
  enum class State { kHeaders, kAudio, kSkipLink, kFailed };
  struct Libs;  // libogg and libvorbis state, kept out of this header

  bool NextPage();
  bool DecodeNextPacket();
  void HeaderPacket(void* packet);
  void LinkReady();
  void LeaveLink();
  void AudioPacket(void* packet);
  size_t HandOut(uint8_t* output, size_t room, size_t keep);
  size_t UndecodedBytes() const;
  double Ratio() const;

  int channels_;
  uint32_t rate_ = 0;  // the first link's
  double nominal_ratio_;
  State state_ = State::kHeaders;
  std::unique_ptr<Libs> libs_;
  bool link_played_ = false;   // a link's headers were read since the start
  int source_of_[kMaxChannels] = {};  // output channel -> libvorbis channel
  std::vector<uint8_t> held_;
  size_t held_at_ = 0;
  size_t searched_ = 0;        // bytes passed over before the first page
  uint64_t audio_in_ = 0;      // bytes of decoded audio packets
  uint64_t audio_out_ = 0;     // PCM bytes they gave
};
