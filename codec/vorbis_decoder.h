// Decoding core of the Ogg Vorbis codec driver: takes an Ogg Vorbis byte
// stream in pieces of any size and hands out 16-bit little-endian PCM, with
// libogg finding the pages and packets and libvorbis decoding them.
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
  // `channels`: channels of the PCM handed out (a stream with another count
  // is mapped onto them). `nominal_ratio`: PCM bytes per stream byte that the
  // formats promise (PCM byte rate / stream byte rate), 0 when unknown; it
  // guides the output estimate until the stream shows its own ratio.
  VorbisDecoder(int channels, double nominal_ratio);
  ~VorbisDecoder();
  VorbisDecoder(const VorbisDecoder&) = delete;
  VorbisDecoder& operator=(const VorbisDecoder&) = delete;

  // Takes all of `input` and writes as much PCM as fits into `output`. PCM
  // that does not fit, and pages not decoded yet, wait for the next call.
  DecodeResult Convert(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size);
  // Output room that a Convert of `input_size` more bytes needs to hand out
  // everything it can decode, what is still held included.
  size_t EstimateOutput(size_t input_size) const;
  // Input bytes that may be given for `output_size` bytes of room.
  size_t EstimateInput(size_t output_size) const;
  // Forgets the stream: the next byte is the start of a new one.
  void Reset();

  // The stream cannot be decoded: its first packets are no Vorbis headers,
  // or no page was found in the first kMaxSearchBytes.
  bool failed() const { return state_ == State::kFailed; }
  // Some PCM has been decoded since the start of the stream.
  bool decoded_any() const { return audio_out_ > 0; }
  // All three Vorbis headers have been read (audio may follow).
  bool has_headers() const { return state_ == State::kAudio; }
  // Bytes of PCM decoded but not handed out yet.
  size_t held_bytes() const { return held_.size() - held_at_; }

  static constexpr size_t kMaxSearchBytes = 256 * 1024;

 private:
  enum class State { kHeaders, kAudio, kFailed };
  struct Libs;  // libogg and libvorbis state, kept out of this header

  bool NextPage();
  void TakePage();
  bool DecodeNextPacket();
  void HeaderPacket(void* packet);
  void AudioPacket(void* packet);
  size_t HandOut(uint8_t* output, size_t room);
  size_t UndecodedBytes() const;
  double Ratio() const;

  int channels_;
  double nominal_ratio_;
  State state_ = State::kHeaders;
  std::unique_ptr<Libs> libs_;
  std::vector<uint8_t> held_;
  size_t held_at_ = 0;
  size_t searched_ = 0;        // bytes passed over before the first page
  uint64_t audio_in_ = 0;      // bytes of decoded audio packets
  uint64_t audio_out_ = 0;     // PCM bytes they gave
};
