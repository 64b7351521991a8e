// Sound-activated recording: events found on 10 ms windows counted from
// arming whatever the blocks, and written exactly, pre-roll first, from the
// ring and the live blocks, as the recorder writes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/sound_trigger.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr double kTwoPi = 6.283185307179586;

struct Event {
  uint64_t file_start = 0, onset = 0, end = 0;
  std::vector<uint8_t> bytes;  // what the recorder wrote for it
};

// Sound as the device gives it: a faint noise floor (under -56 dBFS, each
// frame's bytes different, so a frame written twice or out of place shows),
// with bursts of a 1 kHz tone.
class Signal {
 public:
  Signal(size_t length, unsigned channels, unsigned bytes_per_sample)
      : format_{kRate, channels, bytes_per_sample}, bytes_(length * format_.frame_bytes()) {
    for (size_t frame = 0; frame < frames(); ++frame) {
      // 8-bit: -42 dBFS; 16-bit: -67 dBFS.
      const size_t spread = bytes_per_sample == 1 ? 3 : 31;
      for (unsigned c = 0; c < channels; ++c) {
        Set(frame, c, static_cast<double>((frame * 7919 + c * 13) % spread) - static_cast<double>(spread / 2));
      }
    }
  }
  // A tone burst at `dbfs` from frame `first`, `count` frames (on the last channel).
  void Burst(size_t first, size_t count, double dbfs) {
    const double full = format_.bytes_per_sample == 1 ? 128.0 : 32768.0;
    const double amplitude = full * std::pow(10.0, dbfs / 20.0);
    for (size_t frame = first; frame < first + count; ++frame) {
      Set(frame, format_.channels - 1, std::round(amplitude * std::sin(kTwoPi * 1000.0 * frame / kRate)));
    }
  }
  size_t frames() const { return bytes_.size() / format_.frame_bytes(); }
  const TriggerFormat& format() const { return format_; }
  std::vector<uint8_t> Bytes(uint64_t first, uint64_t end) const {
    return std::vector<uint8_t>(bytes_.begin() + first * format_.frame_bytes(), bytes_.begin() + end * format_.frame_bytes());
  }

  // Arms a trigger and its ring and feeds the signal in blocks of
  // `block_frames`, each a buffer of its own, writing as the recorder does.
  std::vector<Event> Record(const TriggerSettings& settings, size_t block_frames) const {
    SoundTrigger trigger;
    PrerollRing ring;
    std::vector<Event> events;
    EXPECT_TRUE(trigger.Arm(settings, format_));
    EXPECT_TRUE(ring.Arm(trigger.ring_frames(), format_.frame_bytes()));
    const size_t frame_bytes = format_.frame_bytes();
    for (size_t first = 0; first < frames(); first += block_frames) {
      const size_t count = std::min(block_frames, frames() - first);
      const std::vector<uint8_t> block = Bytes(first, first + count);
      const uint64_t block_first = trigger.frames_fed();
      for (size_t taken = 0; taken < count;) {
        const TriggerStep step = trigger.Feed(block.data() + taken * frame_bytes, count - taken);
        taken += step.frames_taken;
        if (step.began) events.push_back(Event{step.file_start, step.onset, 0, {}});
        if (step.write_end == step.write_first) continue;
        const BytePieces pieces = ring.Pieces(step.write_first, step.write_end, block.data(), block_first, count);
        EXPECT_TRUE(pieces.ok && !events.empty()) << step.write_first << " block " << block_frames;
        if (!pieces.ok || events.empty()) return events;
        for (size_t k = 0; k < pieces.count; ++k) {
          events.back().bytes.insert(events.back().bytes.end(), pieces.data[k], pieces.data[k] + pieces.size[k]);
        }
        if (step.ended) events.back().end = step.end;
      }
      ring.Push(block.data(), count);
    }
    return events;
  }

 private:
  void Set(size_t frame, unsigned channel, double value) {
    uint8_t* sample = &bytes_[(frame * format_.channels + channel) * format_.bytes_per_sample];
    if (format_.bytes_per_sample == 1) {
      sample[0] = static_cast<uint8_t>(128 + value);
    } else {
      const uint16_t bits = static_cast<uint16_t>(static_cast<int16_t>(value));
      sample[0] = static_cast<uint8_t>(bits);
      sample[1] = static_cast<uint8_t>(bits >> 8);
    }
  }

  TriggerFormat format_;
  std::vector<uint8_t> bytes_;
};

// The end of the window that holds the frame before `end`.
uint64_t WindowEndAfter(uint64_t end) { return ((end - 1) / 441 + 1) * 441; }

void ExpectWrittenExactly(const Signal& signal, const std::vector<Event>& events) {
  for (const Event& event : events) {
    ASSERT_LT(event.file_start, event.end);
    EXPECT_TRUE(event.bytes == signal.Bytes(event.file_start, event.end)) << event.file_start;
  }
}

TEST(SoundTrigger, EventsAreTheSameInAnyBlocksAndHoldExactlyTheirFrames) {
  // 3 s of floor, a -20 dBFS burst of 1.5 s starting within a window, 8 s,
  // a second burst, silence; pre-roll 2 s, hang 3 s.
  Signal signal(20 * kRate, 2, 2);
  const size_t first_burst = 3 * kRate + 100, burst = 3 * kRate / 2;
  signal.Burst(first_burst, burst, -20.0);
  signal.Burst(12 * kRate, burst, -20.0);
  TriggerSettings settings;
  settings.hang_ms = 3000;

  const uint64_t onset = 300 * 441;  // the window the burst begins in
  const uint64_t preroll = 2 * kRate;
  const uint64_t hang = 3 * kRate;
  for (size_t block : {size_t{1}, size_t{441}, size_t{4096}, size_t{100000}}) {
    const std::vector<Event> events = signal.Record(settings, block);
    ASSERT_EQ(events.size(), 2u) << block;
    EXPECT_EQ(events[0].onset, onset);
    EXPECT_EQ(events[0].file_start, onset - preroll);
    EXPECT_EQ(events[0].end, WindowEndAfter(first_burst + burst) + hang);
    EXPECT_EQ(events[1].onset, 12 * kRate);
    EXPECT_EQ(events[1].file_start, 10 * kRate);
    EXPECT_EQ(events[1].end, WindowEndAfter(12 * kRate + burst) + hang);
    ExpectWrittenExactly(signal, events);
  }
}

TEST(SoundTrigger, OnlySoundAboveTheStartLevelForTheWholeRunStartsAnEvent) {
  TriggerSettings settings;  // -40 dBFS for 50 ms
  struct Case {
    size_t at, frames;
    double dbfs;
    size_t events;
  } cases[] = {{kRate + 220, kRate / 50, -10.0, 0},  // a 20 ms click, loud
               {kRate, kRate, -41.0, 0},
               {kRate, kRate, -39.0, 1}};
  for (const Case& c : cases) {
    Signal signal(4 * kRate, 2, 2);
    signal.Burst(c.at, c.frames, c.dbfs);
    EXPECT_EQ(signal.Record(settings, 441).size(), c.events) << c.dbfs;
  }
  // 8-bit unsigned mono around -20 dBFS (silence is 128): 1 dB under starts
  // nothing, 1 dB over starts an event, whose pre-roll is cut at arming.
  settings.start_db = -20.0;
  settings.stop_db = -26.0;
  for (double dbfs : {-21.0, -19.0}) {
    Signal signal(8 * kRate, 1, 1);
    signal.Burst(kRate / 2, kRate, dbfs);
    const std::vector<Event> events = signal.Record(settings, 1000);
    ASSERT_EQ(events.size(), dbfs > -20.0 ? 1u : 0u);
    if (events.empty()) continue;
    EXPECT_EQ(events[0].file_start, 0u);
    EXPECT_EQ(events[0].onset, 50u * 441);
    ExpectWrittenExactly(signal, events);
  }
}

TEST(SoundTrigger, SoundAboveTheStopLevelDuringTheHangContinuesTheEvent) {
  // A burst, 2 s, a second onset, 2.5 s, a murmur between the stop and the
  // start levels, 3.5 s (more than the hang), and a burst whose pre-roll
  // would reach back into the first event.
  Signal signal(18 * kRate, 2, 2);
  signal.Burst(kRate, kRate, -20.0);
  signal.Burst(4 * kRate, kRate / 2, -20.0);
  signal.Burst(7 * kRate, kRate, -43.0);
  signal.Burst(12 * kRate + kRate / 2, kRate, -20.0);
  TriggerSettings settings;
  settings.hang_ms = 3000;
  const std::vector<Event> events = signal.Record(settings, 4096);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].end, WindowEndAfter(8 * kRate) + 3 * kRate);
  EXPECT_EQ(events[1].file_start, events[0].end);  // nothing written twice
  ExpectWrittenExactly(signal, events);
}

}  // namespace
