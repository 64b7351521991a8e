// The transport's arithmetic: buffer sizes, mode choice, pacing, strides,
// playing rate, recording limits and the clock corrections.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "audio/memory_pieces.h"
#include "audio/transport_math.h"
#include "base/run_state.h"

namespace {

BufferSizingInput Pcm(uint32_t rate, int channels, int bits) {
  BufferSizingInput in;
  in.format_tag = 1;
  in.samples_per_sec = rate;
  in.format_block_align = static_cast<uint16_t>(channels * bits / 8);
  in.avg_bytes_per_sec = rate * in.format_block_align;
  in.blockalign = static_cast<int16_t>(in.format_block_align);
  in.windows_version = 0x0601;
  return in;
}

BufferSizingInput Mpeg(uint32_t avg, int32_t block_size) {
  BufferSizingInput in;
  in.format_tag = 0x55;
  in.samples_per_sec = 44100;
  in.avg_bytes_per_sec = avg;
  in.format_block_align = 1;
  in.mpeg_block_size = block_size;
  in.blockalign = 1;
  in.windows_version = 0x0601;
  return in;
}

TEST(EngineBufferSizes, StreamingPcmBuffersLastOneDeltatime) {
  BufferSizing s = ComputeBufferSizing(Pcm(44100, 2, 16));
  EXPECT_EQ(s.refusal, SizingRefusal::kNone);
  EXPECT_EQ(s.unit_size, 65536u);  // 176400 / 11025 * 4096
  EXPECT_EQ(s.buffer_size, 65536u);
  EXPECT_EQ(s.blockalign, 4);

  s = ComputeBufferSizing(Pcm(48000, 2, 16));
  EXPECT_EQ(s.unit_size, 98304u);  // 192000 = 24 * 8000
  EXPECT_EQ(s.buffer_size, 98304u);

  EXPECT_EQ(ComputeBufferSizing(Pcm(11025, 1, 8)).buffer_size, 4096u);
  EXPECT_EQ(ComputeBufferSizing(Pcm(8000, 1, 8)).buffer_size, 4096u);
}

TEST(EngineBufferSizes, UnitSizeFamilies) {
  EXPECT_EQ(ComputeUnitSize(36000, 12000, 4096), 18432u);  // 12000 Hz: by 8000, rounded
  EXPECT_EQ(ComputeUnitSize(11155, 22050, 4096), 4144u);   // 11025 family, not a multiple: rounded
  EXPECT_EQ(ComputeUnitSize(16000, 16000, 4096), 8192u);   // multiple of 8000
  EXPECT_EQ(ComputeUnitSize(8001, 8000, 4096), 4097u);     // neither: by 8000, rounded
  EXPECT_EQ(ComputeUnitSize(0, 44100, 4096), 0u);
}

TEST(EngineBufferSizes, MpegBuffersHoldAnEvenNumberOfBlocks) {
  BufferSizing s = ComputeBufferSizing(Mpeg(16000, 417));
  EXPECT_EQ(s.unit_size, 8192u);
  EXPECT_EQ(s.blockalign, 417);
  EXPECT_EQ(s.buffer_size, 8340u);  // 7923 = 19 * 417 is odd, so 20 blocks

  s = ComputeBufferSizing(Mpeg(16000, 410));
  EXPECT_EQ(s.buffer_size, 8200u);  // 7790 is even but 19 blocks: one more

  BufferSizingInput in = Mpeg(16000, 417);
  in.shift_down = true;
  EXPECT_EQ(ComputeBufferSizing(in).blockalign, 418);
  in.control_down = true;
  s = ComputeBufferSizing(in);
  EXPECT_EQ(s.blockalign, 512);
  EXPECT_EQ(s.buffer_size, 8192u);

  // A record without the Layer-3 extension keeps its own block size.
  EXPECT_EQ(ComputeBufferSizing(Mpeg(16000, -1)).buffer_size, 8192u);

  // On memory the pieces handed to the device are cut into the same blocks.
  in = Mpeg(16000, 417);
  in.buffer_count = ON_MEMORY;
  in.data_total = 1u << 20;
  EXPECT_EQ(ComputeBufferSizing(in).piece_align, 417u);
  EXPECT_EQ(ComputeBufferSizing(Mpeg(16000, -1)).piece_align, 1u);
}

TEST(EngineBufferSizes, OddCutOfOtherFormatsGainsOneBlock) {
  BufferSizingInput in = Pcm(8000, 1, 8);
  in.avg_bytes_per_sec = 8001;
  in.blockalign = 3;
  BufferSizing s = ComputeBufferSizing(in);
  EXPECT_EQ(s.unit_size, 4097u);
  EXPECT_EQ(s.buffer_size, 4098u);  // 4095 is odd
}

TEST(EngineBufferSizes, OnMemoryBlockIsTheDataUpToTheMemoryLimit) {
  BufferSizingInput in = Pcm(44100, 2, 16);
  in.buffer_count = ON_MEMORY;
  in.data_total = 100u << 20;
  in.mem_size = 15;
  BufferSizing s = ComputeBufferSizing(in);
  EXPECT_EQ(s.buffer_size, 15u << 20);
  EXPECT_EQ(s.unit_size, 65536u);
  EXPECT_EQ(s.blockalign, 4);

  in.mem_size = 0;
  EXPECT_EQ(ComputeBufferSizing(in).buffer_size, 524288u);

  in.mem_size = 15;
  in.data_total = 1000003;  // an odd-sized data chunk plays whole
  EXPECT_EQ(ComputeBufferSizing(in).buffer_size, 1000003u);

  in.recording = true;  // a recording's block ends on a frame
  EXPECT_EQ(ComputeBufferSizing(in).buffer_size, 1000000u);
}

TEST(EngineBufferSizes, OldWindowsAvoidsWholeMultiplesOf64K) {
  BufferSizingInput in = Pcm(44100, 2, 16);
  in.buffer_count = ON_MEMORY;
  in.data_total = 0x100000;
  in.windows_version = 0x30B;
  EXPECT_EQ(ComputeBufferSizing(in).buffer_size, 0x100000u - 4);
  in.windows_version = 0x30C;
  EXPECT_EQ(ComputeBufferSizing(in).buffer_size, 0x100000u);
  in.windows_version = 0x30A;
  in.buffer_count = STREAMING;
  EXPECT_EQ(ComputeBufferSizing(in).buffer_size, 65536u);
}

TEST(EngineBufferSizes, UnusableFormatsAndSettingsAreRefused) {
  BufferSizingInput in = Pcm(44100, 2, 16);
  in.blockalign = 0;  // a file with nBlockAlign 0
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kFormat);
  in.buffer_count = ON_MEMORY;
  in.data_total = 1000;
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kFormat);

  // Without a byte rate the decoded rate sizes the buffers; without that
  // either there is nothing to size by.
  in = Pcm(44100, 2, 16);
  in.avg_bytes_per_sec = 0;
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kNone);
  EXPECT_EQ(ComputeBufferSizing(in).buffer_size, 65536u);
  in.format_block_align = 0;
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kFormat);

  EXPECT_EQ(ComputeBufferSizing(Mpeg(16000, 0)).refusal, SizingRefusal::kFormat);
  EXPECT_EQ(ComputeBufferSizing(Mpeg(16000, 40000)).refusal, SizingRefusal::kFormat);  // negative as 16 bits

  in = Pcm(44100, 2, 16);
  in.deltatime = 7;
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kDeltatime);
  in.deltatime = 8;
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kNone);
  in.deltatime = kMaximumDeltatime;
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kNone);
  in.deltatime = kMaximumDeltatime + 1;
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kDeltatime);
  in.deltatime = 0xFFFFFFFF;  // would wrap round in 32 bits
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kDeltatime);

  BufferSizingInput big_blocks = Mpeg(8000, 1500);
  big_blocks.deltatime = 512;  // 512 bytes: less than one block
  EXPECT_EQ(ComputeBufferSizing(big_blocks).refusal, SizingRefusal::kDeltatime);

  in = Pcm(44100, 2, 16);
  in.buffer_count = ON_MEMORY;
  in.data_total = 0;  // a full drive
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kNoRoom);
  in.recording = true;
  in.data_total = 3;  // less than a frame
  EXPECT_EQ(ComputeBufferSizing(in).refusal, SizingRefusal::kNoRoom);
}

TEST(EngineMode, SmallDrivesForceOnMemory) {
  EXPECT_EQ(ChooseBufferCount(0, 1457664), 1);
  EXPECT_EQ(ChooseBufferCount(0, 1457665), 4);
  EXPECT_EQ(ChooseBufferCount(1, 1u << 30), 1);
  EXPECT_EQ(ChooseBufferCount(0, 0), 1);
}

TEST(EnginePacing, RecordingWaitsFor78PercentOfABuffer) {
  EXPECT_EQ(RecordPacingWait(4096, 44100), 290u);  // 371.5 ms * 0.78
  EXPECT_EQ(RecordPacingWait(4096, 48000), 399u);  // 512 ms * 0.78
  EXPECT_EQ(RecordPacingWait(8192, 48000), 400u);  // capped
  EXPECT_EQ(RecordPacingWait(1024, 44100), 36u);   // 72, halved below 100
  EXPECT_TRUE(WorthPacing(36));
  EXPECT_EQ(RecordPacingWait(512, 44100), 18u);
  EXPECT_FALSE(WorthPacing(18));
  EXPECT_FALSE(WorthPacing(33));
  EXPECT_EQ(RecordPacingWait(4100, 8000), 399u);  // 4100 / 8 = 512 in integers
}

TEST(EnginePacing, PlaybackWaitsFor88PercentAtTheRate) {
  EXPECT_EQ(PlayPacingWait(4096, 44100, 0, 0x400), 327u);
  EXPECT_EQ(PlayPacingWait(4096, 44100, 120, 0x400), 163u);   // twice as fast
  EXPECT_EQ(PlayPacingWait(4096, 44100, -120, 0x400), 400u);  // capped
  EXPECT_EQ(PlayPacingWait(1024, 44100, 0, 0x400), 54u);      // 82, two thirds at 113 or less
  EXPECT_EQ(PlayPacingWait(1024, 44100, 0, 0x35E), 82u);      // older systems: only at 50 or less
  EXPECT_EQ(PlayPacingWait(512, 44100, 0, 0x35E), 27u);
  EXPECT_EQ(PlayPacingWait(4096, 48000, 0, 0x400), 400u);  // 450.6 ms, capped
}

TEST(EnginePacing, DisplayTimerPeriod) {
  EXPECT_EQ(DisplayTimerInterval(4096, 44100), 371u);
  EXPECT_EQ(DisplayTimerInterval(4096, 48000), 512u);
  EXPECT_EQ(DisplayTimerInterval(4096, 0), 371u);
  EXPECT_EQ(DisplayTimerInterval(0xFFFFFFFF, 44100), 389566194u);  // no 32-bit wrap
}

TEST(EngineStride, RecordingStartsByRateAndChannels) {
  EXPECT_EQ(InitialRecordStride(48000, 2, false), 20u);
  EXPECT_EQ(InitialRecordStride(96000, 1, false), 10u);
  EXPECT_EQ(InitialRecordStride(44100, 1, false), 8u);
  EXPECT_EQ(InitialRecordStride(32000, 1, false), 6u);
  EXPECT_EQ(InitialRecordStride(22050, 1, false), 4u);
  EXPECT_EQ(InitialRecordStride(11025, 2, false), 4u);
  EXPECT_EQ(InitialRecordStride(8000, 1, false), 2u);
  EXPECT_EQ(InitialRecordStride(44100, 2, true), 1u);
}

TEST(EngineStride, PlaybackStartsFromMeasuredCosts) {
  FirstBlockCosts costs;
  costs.read = 10;
  costs.prepare = 1;
  costs.other = 2;
  costs.write = 3;
  costs.meter = 30;
  // available 368 ms, spare trunc(368 - 16 * 1.15) = 349
  EXPECT_EQ(InitialPlayStride(4096, 44100, 0, costs), 1u);
  costs.meter = 200;  // 580 / 349 + 0.95 = 2.61
  EXPECT_EQ(InitialPlayStride(4096, 44100, 0, costs), 2u);
  costs.meter = 0;
  EXPECT_EQ(InitialPlayStride(4096, 44100, 0, costs), 1u);
  costs.read = 400;  // nothing left for the meter
  EXPECT_EQ(InitialPlayStride(4096, 44100, 0, costs), 65535u);
  costs.read = 10;
  costs.meter = 200;
  // At +120 a buffer lasts half as long: available 184, spare 165.
  EXPECT_EQ(InitialPlayStride(4096, 44100, 120, costs), 4u);
}

TEST(EngineRate, PcmOpensAtTheShiftedRate) {
  PlayFormat f{1, 22050, 44100, 2};
  ASSERT_TRUE(ApplyPlayingRate(f, 120));
  EXPECT_EQ(f.samples_per_sec, 44100u);
  EXPECT_EQ(f.avg_bytes_per_sec, 88200u);

  f = {1, 22050, 44100, 2};
  ASSERT_TRUE(ApplyPlayingRate(f, -120));
  EXPECT_EQ(f.samples_per_sec, 11025u);
  EXPECT_EQ(f.avg_bytes_per_sec, 22050u);

  f = {1, 44100, 176400, 4};
  ASSERT_TRUE(ApplyPlayingRate(f, 15));
  EXPECT_EQ(f.samples_per_sec, 48091u);  // 44100 * 2^0.125 = 48091.39
  EXPECT_EQ(f.avg_bytes_per_sec, 48091u * 4);

  f = {1, 44100, 176400, 4};
  ASSERT_TRUE(ApplyPlayingRate(f, 0));
  EXPECT_EQ(f.samples_per_sec, 44100u);
  EXPECT_EQ(f.avg_bytes_per_sec, 176400u);

  f = {6, 8000, 8000, 1};  // A-law follows the sample rate
  ASSERT_TRUE(ApplyPlayingRate(f, 120));
  EXPECT_EQ(f.avg_bytes_per_sec, 16000u);
}

TEST(EngineRate, OtherTagsScaleTheirByteRate) {
  PlayFormat f{2, 22050, 11155, 512};
  ASSERT_TRUE(ApplyPlayingRate(f, 120));
  EXPECT_EQ(f.samples_per_sec, 44100u);
  EXPECT_EQ(f.avg_bytes_per_sec, 22310u);

  f = {113, 8000, 1000, 20};  // block coded: whole blocks per second
  ASSERT_TRUE(ApplyPlayingRate(f, 120));
  EXPECT_EQ(f.avg_bytes_per_sec, 2000u);
  f = {114, 8000, 1010, 20};
  ASSERT_TRUE(ApplyPlayingRate(f, -120));
  EXPECT_EQ(f.avg_bytes_per_sec, 500u);  // 50 blocks -> 25

  PlayFormat zero{115, 8000, 1000, 0};
  EXPECT_FALSE(ApplyPlayingRate(zero, 120));
  EXPECT_EQ(zero.samples_per_sec, 8000u);
  EXPECT_EQ(zero.avg_bytes_per_sec, 1000u);
  PlayFormat zero_113{113, 8000, 1000, 0};
  EXPECT_FALSE(ApplyPlayingRate(zero_113, 0));

  f = {0x55, 44100, 16000, 1};  // MPEG Layer-3 asks half its byte rate
  ASSERT_TRUE(ApplyPlayingRate(f, 0));
  EXPECT_EQ(f.avg_bytes_per_sec, 8000u);
  f = {0x55, 44100, 16000, 1};
  ASSERT_TRUE(ApplyPlayingRate(f, 120));
  EXPECT_EQ(f.samples_per_sec, 88200u);
  EXPECT_EQ(f.avg_bytes_per_sec, 16000u);
}

// A streaming recording at its byte count.
bool TimeLimitReached(uint32_t time_limit, uint32_t bytes_per_sec, uint32_t data_count) {
  return TimeLimitActionAt(RecordedMs(data_count, bytes_per_sec), time_limit, 0.0, false, false) !=
         TimeLimitAction::kNone;
}

TEST(EngineRecordingLimits, TimeLimitPausesAtItsByteCount) {
  EXPECT_FALSE(TimeLimitReached(3600, 176400, 635039999));
  EXPECT_TRUE(TimeLimitReached(3600, 176400, 635040000));
  EXPECT_FALSE(TimeLimitReached(3600 + 3600, 176400, 635040000));  // the next limit
  EXPECT_FALSE(TimeLimitReached(0, 176400, 0xFFFFFFFF));
  // 30000 s would wrap round to less than 1 GB in 32 bits and fire early.
  EXPECT_FALSE(TimeLimitReached(30000, 176400, 2000000000));
}

// The display tick's position of an on-memory recording, with the margin of
// old systems, meets the same rule.
TEST(EngineRecordingLimits, PauseOrStopAtTheLimit) {
  EXPECT_EQ(TimeLimitActionAt(1e12, 0, 0.0, false, false), TimeLimitAction::kNone);
  EXPECT_EQ(TimeLimitActionAt(3600499.0, 3600, 0.5, false, false), TimeLimitAction::kNone);
  EXPECT_EQ(TimeLimitActionAt(3600500.0, 3600, 0.5, false, false), TimeLimitAction::kPause);
  EXPECT_EQ(TimeLimitActionAt(3600500.0, 3600, 0.5, true, false), TimeLimitAction::kStopAndExit);
  EXPECT_EQ(TimeLimitActionAt(7200000.0, 7200, 0.0, false, false), TimeLimitAction::kPause);
}

// The block kept after a Pause can cross the limit: a pause posted then would
// reach a paused run and continue it. The limit moves on all the same, and a
// command-line recording still stops.
TEST(EngineRecordingLimits, LimitReachedWhilePausedDoesNotContinue) {
  EXPECT_EQ(TimeLimitActionAt(3600000.0, 3600, 0.0, false, true), TimeLimitAction::kMoveOn);
  EXPECT_EQ(TimeLimitActionAt(3600000.0, 3600, 0.0, true, true), TimeLimitAction::kStopAndExit);
  EXPECT_EQ(TimeLimitActionAt(3599999.0, 3600, 0.0, false, true), TimeLimitAction::kNone);
}

TEST(EngineRecordingLimits, WaveFileNeverPasses2GB) {
  const uint32_t limit = 0x7FFFFFFF - 44;
  EXPECT_EQ(FitIntoWaveFile(limit - 100000, 65536, 4), 65536u);
  EXPECT_EQ(FitIntoWaveFile(limit - 65536, 65536, 4), 65536u);  // exactly fits
  EXPECT_EQ(FitIntoWaveFile(limit - 1000, 65536, 4), 1000u);
  EXPECT_EQ(FitIntoWaveFile(limit - 1000, 65536, 3), 999u);
  EXPECT_EQ(FitIntoWaveFile(limit - 1001, 65536, 4), 1000u);
  EXPECT_EQ(FitIntoWaveFile(limit, 65536, 4), 0u);
  EXPECT_EQ(FitIntoWaveFile(0xFFFFFFF0u, 65536, 4), 0u);
}

TEST(EngineRecordingLimits, ShortWritesKeepWholeBlocks) {
  EXPECT_EQ(WholeBlocks(1001, 4), 1000u);
  EXPECT_EQ(WholeBlocks(1001, 1), 1001u);
  EXPECT_EQ(WholeBlocks(1001, 0), 1001u);
  EXPECT_EQ(WholeBlocks(3, 4), 0u);
}

TEST(EngineRecordingLimits, EmptyMemoryBlockEstimate) {
  EXPECT_EQ(EstimateRecordedBytes(1000.0, 0.0, 176400, 4), 176400u);
  EXPECT_EQ(EstimateRecordedBytes(10.01, 0.0, 176400, 4), 1764u);  // 1765.76 bytes -> whole frames
  EXPECT_EQ(EstimateRecordedBytes(500.0, 500.0, 176400, 4), 0u);
  EXPECT_EQ(EstimateRecordedBytes(400.0, 500.0, 176400, 4), 0u);
  EXPECT_EQ(EstimateRecordedBytes(1500.0, 1000.0, 11025, 1), 5512u);
}

TEST(EngineResume, OnMemoryClockSkipsThePause) {
  EXPECT_EQ(ResumePlayStartTime(10000, 1000, 4000, 0x400), 7000u);
  EXPECT_EQ(ResumePlayStartTime(10000, 1000, 4000, 0x35E), 6720u);
  EXPECT_EQ(ResumePlayStartTime(5, 0xFFFFFFF0u, 0xFFFFFFF8u, 0x400), 0xFFFFFFFDu);  // clock wrap

  EXPECT_EQ(ResumeRecordStartTime(100000, 15u << 20, (15u << 20) - 1764000, 176400), 90000u);
  EXPECT_EQ(ResumeRecordStartTime(100000, 1000, 1000, 176400), 100000u);
  // 200 MB written: the duration needs more than 32 bits before the division.
  EXPECT_EQ(ResumeRecordStartTime(2000000, 209715200 + 1000, 1000, 176400), 2000000u - 1188861u);
}

TEST(EngineFiles, OnlyAHeaderIsAnEmptyRecording) {
  EXPECT_TRUE(IsEmptyRecordingFile(0));
  EXPECT_TRUE(IsEmptyRecordingFile(44));
  EXPECT_FALSE(IsEmptyRecordingFile(45));
  EXPECT_FALSE(IsEmptyRecordingFile(-1));
}

TEST(EngineBlocks, UserWordCarriesIndexAndEndMark) {
  EXPECT_EQ(MakeUserWord(3, true), 0x10000003u);
  EXPECT_EQ(MakeUserWord(2, false), 2u);
  EXPECT_EQ(BlockIndexOf(0x10000003u), 3);
  EXPECT_TRUE(IsLastBlock(0x10000001u));
  EXPECT_FALSE(IsLastBlock(1u));
  // The paused mark of an input block leaves the index readable.
  EXPECT_EQ(BlockIndexOf(MakeInputUserWord(1, true)), 1);
  EXPECT_TRUE(IsPausedBlock(MakeInputUserWord(1, true)));
  EXPECT_FALSE(IsPausedBlock(MakeInputUserWord(1, false)));
}

// A whole recording: standby, Cont, Pause, Cont, Stop, the last block, the end.
TEST(EngineRunState, RecordingPassesThroughEveryState) {
  RunStatus run;
  EXPECT_FALSE(run.active());
  EXPECT_FALSE(run.takes_blocks());
  ASSERT_TRUE(run.Start(true));
  EXPECT_EQ(run.state(), RunState::kStandby);
  EXPECT_TRUE(run.paused());
  EXPECT_FALSE(run.live());
  ASSERT_TRUE(run.Resume());
  EXPECT_TRUE(run.live());
  ASSERT_TRUE(run.Pause());
  EXPECT_EQ(run.state(), RunState::kPaused);
  ASSERT_TRUE(run.Resume());
  ASSERT_TRUE(run.AskStop());
  EXPECT_EQ(run.state(), RunState::kStopping);
  EXPECT_FALSE(run.under_way());  // Pause, Cont and Stop no longer apply
  EXPECT_TRUE(run.takes_blocks());  // but the first block back does
  run.Close();
  EXPECT_FALSE(run.takes_blocks());
  EXPECT_TRUE(run.active());
  run.End();
  EXPECT_EQ(run.state(), RunState::kIdle);
}

// Commands that arrive late (queued behind a stop, or repeated) leave the
// state where it is.
TEST(EngineRunState, LateCommandsDoNotMoveARun) {
  RunStatus run;
  EXPECT_FALSE(run.Pause());
  EXPECT_FALSE(run.Resume());
  EXPECT_FALSE(run.AskStop());
  run.Close();  // a device closed with no run
  EXPECT_EQ(run.state(), RunState::kIdle);

  ASSERT_TRUE(run.Start(false));
  EXPECT_FALSE(run.Start(true));
  EXPECT_FALSE(run.Resume());
  ASSERT_TRUE(run.AskStop());
  EXPECT_FALSE(run.Pause());
  EXPECT_FALSE(run.Resume());
  EXPECT_FALSE(run.AskStop());
  EXPECT_EQ(run.state(), RunState::kStopping);
  run.Close();
  EXPECT_FALSE(run.Pause());
  EXPECT_FALSE(run.AskStop());
  EXPECT_FALSE(run.Start(false));  // no new run before this one has ended
  EXPECT_EQ(run.state(), RunState::kClosing);
}

TEST(EnginePlayList, NextFileSkipsOptionsAndEmptyArguments) {
  const char* args[] = {"prog", "a.wav", "/x", "", nullptr, "b.wav", "/P"};
  EXPECT_EQ(FindFileArgument(args, 7, 1), 1);
  EXPECT_EQ(FindFileArgument(args, 7, 2), 5);
  EXPECT_EQ(FindFileArgument(args, 7, 6), -1);
  EXPECT_EQ(FindFileArgument(args, 7, 7), -1);
  EXPECT_EQ(FindFileArgument(args, 5, 2), -1);
}

TEST(EnginePlayList, OnMemoryPositionLine) {
  char text[64];
  FormatMemoryPlayPosition(text, sizeof text, 4, 1764000, 176400);
  EXPECT_STREQ(text, "Pos:     1722 KB     10 sec");
  FormatMemoryPlayPosition(text, sizeof text, 1, 1000, 0);
  EXPECT_STREQ(text, "Pos:        0 KB      0 sec");
}


TEST(PlaybackStall, LimitFollowsTheBlockLengthAtThePlayingRate) {
  // 65536 bytes of CD sound last 371.5 ms: four of them and 10 s.
  EXPECT_EQ(PlaybackStallLimitMs(65536, 176400, 0), 11486u);
  // An octave down the block lasts twice as long; up, half.
  EXPECT_EQ(PlaybackStallLimitMs(65536, 176400, -120), 12972u);
  EXPECT_EQ(PlaybackStallLimitMs(65536, 176400, 120), 10743u);
  // No byte rate: the slowest stream, so a long block is never cut short.
  EXPECT_EQ(PlaybackStallLimitMs(8192, 0, 0), 42768u);
  // A whole memory block of 255 MB still gives a bound, not a wrap round.
  EXPECT_EQ(PlaybackStallLimitMs(255u << 20, 1, -120), 0xFFFFFFFFu);
}

}  // namespace

// On-memory pieces: about two seconds of the file, within 16 KB and 1 MB,
// always whole blocks of a block-coded format, never empty.
TEST(MemoryPieces, TwoSecondsWithinBoundsInWholeBlocks) {
  EXPECT_EQ(MemoryPieceBytes(16000, 1), 32000u);        // MP3 at 128 kbit/s
  EXPECT_EQ(MemoryPieceBytes(1000, 1), 16u << 10);      // a very low rate: the smallest piece
  EXPECT_EQ(MemoryPieceBytes(0, 1), 16u << 10);         // no rate known
  EXPECT_EQ(MemoryPieceBytes(0xFFFFFFFFu, 1), 1u << 20);  // no overflow: the largest piece
  EXPECT_EQ(MemoryPieceBytes(44359, 2048) % 2048, 0u);  // IMA ADPCM blocks
  EXPECT_EQ(MemoryPieceBytes(1000, 40000), 40000u);     // one block bigger than the smallest piece
  EXPECT_EQ(MemoryPieceBytes(0xFFFFFFFFu, 3u << 20), 3u << 20);  // a block beyond the largest piece stays whole
  // MPEG frame blocks, two at a time, as streaming buffers hold them.
  EXPECT_EQ(MemoryPieceBytes(20000, 418, true), 96u * 418);       // 95 blocks would end mid-pair
  EXPECT_EQ(MemoryPieceBytes(16000, 417, true), 76u * 417);
}
