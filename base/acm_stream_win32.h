// A conversion of compressed sound through the audio compression manager,
// fed in order and in small pieces. The library is loaded at run time, so
// that the program runs where it is missing (nothing is then converted).
// Both the meter's decoded source and a playback the wave mapper cannot
// convert use it.
#pragma once
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// The largest destination of one conversion the program asks for (what a
// piece decodes to beyond it comes out in further calls).
constexpr DWORD ACM_LARGEST_DESTINATION = 4u << 20;

// acmFormatTagDetailsA, from the one copy of the library the program loads;
// nullptr where the library or the function is missing.
typedef MMRESULT(WINAPI* AcmFormatTagDetailsFn)(HACMDRIVER driver, LPACMFORMATTAGDETAILSA details, DWORD query);
AcmFormatTagDetailsFn AcmFormatTagDetails();

// The file's format record as a converter reads it: at least a whole
// WAVEFORMATEX, and a cbSize that does not reach past the record (the
// converter reads cbSize extension bytes, whatever the file held).
std::vector<uint8_t> AcmSourceRecord(const uint8_t* record, size_t size);

// The PCM format the installed codecs suggest for a compressed record (for
// more than two channels a codec may suggest extensible PCM): empty where
// none does, or it suggests anything but PCM.
std::vector<uint8_t> SuggestAcmPcm(const std::vector<uint8_t>& source);

class AcmStream {
 public:
  AcmStream() = default;
  AcmStream(const AcmStream&) = delete;
  AcmStream& operator=(const AcmStream&) = delete;
  ~AcmStream() { Close(); }

  // Opens the conversion from `from` to `to`, fed at most `piece` source
  // bytes per call (rounded up to whole source blocks; smaller, down to one
  // block, where the converter estimates more than `largest_out` bytes for
  // it), into a destination of the converter's estimate, at most
  // `largest_out`. False where no converter takes it. Closes an open one
  // first.
  bool Open(const WAVEFORMATEX* from, const WAVEFORMATEX* to, DWORD piece, DWORD largest_out);
  void Close();
  bool is_open() const { return stream_ != nullptr && prepared_; }

  // Hands the converter the next bytes of the stream and each piece of what
  // comes out to `sink(const uint8_t* data, DWORD bytes)`. `end`: these are
  // the last bytes, so the converter gives what it still holds. A
  // destination that comes back full is converted into again, with no new
  // bytes, until it does not (a passage that decodes to more than the
  // estimate, as silence does, comes out whole). False when a conversion
  // fails (what was staged is then dropped).
  template <class Sink>
  bool Convert(const uint8_t* data, size_t bytes, bool end, Sink&& sink) {
    size_t at = 0;
    bool last = false;
    while (!last) {
      const size_t room = source_.size() - staged_;
      const size_t take = bytes - at < room ? bytes - at : room;
      if (take > 0) memcpy(source_.data() + staged_, data + at, take);
      staged_ += static_cast<DWORD>(take);
      at += take;
      last = at == bytes;
      DWORD out = static_cast<DWORD>(destination_.size());
      for (int call = 0; out == destination_.size() && call < kMostFullCalls; ++call) {
        if (!ConvertStaged(end && last, out)) {
          staged_ = 0;
          return false;
        }
        if (out > 0) sink(static_cast<const uint8_t*>(destination_.data()), out);
      }
    }
    // After the last bytes the converter gives what it still holds, in a
    // call or two; one that keeps answering is not followed further.
    for (int call = 0; end && call < kMostDrainCalls; ++call) {
      DWORD out = 0;
      if (!ConvertStaged(true, out) || out == 0) break;
      sink(static_cast<const uint8_t*>(destination_.data()), out);
    }
    return true;
  }

 private:
  static constexpr int kMostDrainCalls = 16;
  // A converter that keeps answering a full destination is not followed
  // further than this (the destination is a few MB: gigabytes of sound).
  static constexpr int kMostFullCalls = 1024;

  // One conversion of the staged bytes; `out` the PCM bytes it gave.
  bool ConvertStaged(bool end, DWORD& out);

  HACMSTREAM stream_ = nullptr;
  ACMSTREAMHEADER header_ = {};
  bool prepared_ = false;
  bool started_ = false;             // the first conversion was made (with the start flag)
  std::vector<uint8_t> source_;      // staged source bytes, `staged_` of them
  std::vector<uint8_t> destination_; // the output of one call
  DWORD staged_ = 0;
};
