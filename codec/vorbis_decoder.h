// Decoding core of the Ogg Vorbis codec driver: takes an Ogg Vorbis byte
// stream in pieces of any size and hands out 16-bit little-endian PCM in the
// WAVE channel order, with libogg finding the pages and packets and libvorbis
// decoding them. All its memory, the libraries' included, is one
// StreamBudget: a stream that asks for more than the budget ends (exhausted)
// with everything released, whatever the stream holds.
// Portable: the driver (acm_driver.cpp) and the native tests use it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "codec/stream_budget.h"

struct VorbisTreeNode;  // a node of the decoder's search trees

struct DecodeResult {
  size_t consumed = 0;  // input bytes taken (the rest is to be handed again)
  size_t produced = 0;  // output bytes written (whole frames)
};

class VorbisDecoder {
 public:
  static constexpr int kMaxChannels = 8;

  // `channels`: channels of the PCM handed out (a link with another count is
  // mapped onto them). `nominal_ratio`: PCM bytes per stream byte that the
  // formats promise (PCM byte rate / stream byte rate), 0 when unknown; it
  // guides the output estimate until the stream shows its own ratio. The PCM
  // has the first link's sample rate: later links of another rate are
  // skipped (played at this one they would sound at the wrong speed). The
  // caller may play it at any rate. `budget`: the most memory the stream may
  // take.
  VorbisDecoder(int channels, double nominal_ratio, size_t budget = StreamBudget::kBudget);
  VorbisDecoder(const VorbisDecoder&) = delete;
  VorbisDecoder& operator=(const VorbisDecoder&) = delete;

  // Takes `input` and writes as much PCM as fits into `output`. PCM that
  // does not fit, and pages not decoded yet, wait for the next call; with
  // the output full, at most a megabyte of the stream waits, and the rest
  // of `input` is not taken (`consumed` says how much was: the caller hands
  // the rest again).
  // A few decoded frames are kept back so that a call with input gives at
  // least one frame once the sound has begun, even when its input completes
  // no page (some callers take an empty answer for a failure); a call
  // without input, or with `last`, hands them out too.
  DecodeResult Convert(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size,
                       bool last = false);
  // Output room that a Convert of `input_size` more bytes needs to hand out
  // everything it can decode, what is still held included: at most
  // kMaxRatio PCM bytes per stream byte waiting or given, two packets more,
  // and never more than kMaxEstimate. What does not fit waits.
  size_t EstimateOutput(size_t input_size) const;
  // Input bytes that may be given for `output_size` bytes of room.
  size_t EstimateInput(size_t output_size) const;
  // Forgets the stream: the next byte is the start of a new one. An
  // exhausted decoder is as new again.
  void Reset();
  // The next byte is anywhere in the same stream (the caller has moved in
  // it, or dropped what it gave): what is held and any partial page are
  // dropped, and decoding goes on at the next page of a link whose headers
  // were read (with that link's headers); pages of any other stream are
  // passed over up to the next beginning of a stream. Before any link's
  // headers were read, as Reset.
  void Restart();

  // The stream cannot be decoded: its first packets are no Vorbis headers,
  // no page was found in the first kMaxSearchBytes, or it is exhausted.
  bool failed() const { return state_ == State::kFailed; }
  // The stream asked for more memory than its budget (or than the system
  // gave): everything was released and nothing more is decoded.
  bool exhausted() const { return exhausted_; }
  // Some PCM has been decoded since the start of the stream.
  bool decoded_any() const { return audio_out_ > 0; }
  // The headers of a link are read and its audio is being decoded.
  bool has_headers() const { return state_ == State::kAudio; }
  // Bytes of PCM decoded but not handed out yet.
  size_t held_bytes() const { return held_end_ - held_at_; }
  const StreamBudget& budget() const { return budget_; }
  // Tests: the budget refuses the allocation of this number
  // (StreamBudget::RefuseAllocation).
  void RefuseAllocation(size_t ordinal) { budget_.RefuseAllocation(ordinal); }

  static constexpr size_t kMaxSearchBytes = 256 * 1024;
  static constexpr double kMaxRatio = 256.0;
  static constexpr size_t kMaxEstimate = 16u << 20;

  // The WAVE speaker mask of `channels` channels in the order handed out
  // (the layouts Vorbis streams use for 1 to 8 channels).
  static uint32_t WaveChannelMask(int channels);

 private:
  // kSkipLink: a later link that cannot be played here (not Vorbis, damaged
  // headers, another sample rate than the first): its pages are passed over
  // up to the next link. kSeeking: after a Restart, pages are passed over up
  // to one of a known link or the beginning of a stream.
  enum class State { kHeaders, kAudio, kSkipLink, kSeeking, kFailed };
  struct Libs;       // libogg and libvorbis state, kept out of this header
  struct Packet;     // a header packet kept for a later seek
  struct KnownLink;  // a link whose headers were read, by serial number

  // The steps of the public calls, inside the budget's Run.
  size_t ConvertWithin(const uint8_t* input, size_t input_size, uint8_t* output, size_t output_size, bool last,
                       size_t* consumed);
  void RestartWithin();
  void Forget();
  void Exhaust();
  void StartLibs();

  bool NextPage();
  bool PassesOverComment(const void* page);
  bool DecodeNextPacket();
  void HeaderPacket(void* packet);
  void LinkReady();
  bool StartSynthesis();
  bool PlayLink(const KnownLink& link);
  void LeaveLink();
  void AudioPacket(void* packet);
  size_t HandOut(uint8_t* output, size_t room, size_t keep);
  const Packet* Keep(const uint8_t* bytes, size_t size);
  void RememberLink(int serial);
  const Packet* Share(const Packet* packet);
  const KnownLink* FindLink(int serial) const;
  size_t UndecodedBytes() const;
  double Ratio() const;

  int channels_;
  uint32_t rate_ = 0;  // the first link's
  double nominal_ratio_;
  State state_ = State::kHeaders;
  bool exhausted_ = false;
  StreamBudget budget_;
  // Everything below that points is a block of budget_, gone with it.
  Libs* libs_ = nullptr;
  bool link_played_ = false;   // a link's headers were read since the start
  int source_of_[kMaxChannels] = {};  // output channel -> libvorbis channel
  // Decoded PCM waiting to be handed out: [held_at_, held_end_) of a buffer
  // of one packet's frames and the frames kept back, compacted as it fills.
  uint8_t* held_ = nullptr;
  size_t held_at_ = 0;
  size_t held_end_ = 0;
  size_t held_capacity_ = 0;
  // The headers of the link being read, kept once it is ready.
  const Packet* ident_ = nullptr;
  const Packet* setup_ = nullptr;
  VorbisTreeNode* links_ = nullptr;    // the known links, by serial number
  VorbisTreeNode* packets_ = nullptr;  // their headers, one copy of each
  const KnownLink* playing_ = nullptr;  // the link whose headers libvorbis has
  size_t searched_ = 0;        // bytes passed over before the first page
  uint64_t audio_in_ = 0;      // bytes of decoded audio packets
  uint64_t audio_out_ = 0;     // PCM bytes they gave
};
