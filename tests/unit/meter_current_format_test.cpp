// The current format: a format record parsed once.
#include <gtest/gtest.h>

#include "meter/current_format.h"

namespace {

// The current format is the record parsed once: the display's fields, the
// rate in Hz for timing, and the layout the meter reads with.
TEST(MeterCurrentFormat, OfARecord) {
  const uint8_t pcm[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  const CurrentFormat f = CurrentFormatOf(pcm, sizeof pcm);
  EXPECT_EQ(f.rate, 44100u);
  EXPECT_EQ(f.khz, 44);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.sample_bits, 16);
  EXPECT_EQ(f.sample_class, CLASS_16BIT_STEREO);
  EXPECT_TRUE(f.layout.direct);
  EXPECT_EQ(f.layout.bytes_per_sample, 2u);
  // Without the bits per sample (14 bytes) the block size alone tells the
  // layout; shorter than the header is no format at all.
  const CurrentFormat short_record = CurrentFormatOf(pcm, 14);
  EXPECT_EQ(short_record.sample_bits, 0);
  EXPECT_TRUE(short_record.layout.direct);
  const CurrentFormat none = CurrentFormatOf(pcm, 13);
  EXPECT_EQ(none.rate, 0u);
  EXPECT_FALSE(none.layout.direct);
}

}  // namespace
