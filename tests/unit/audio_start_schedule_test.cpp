// A timed recording's rules of time: starts at absolute instants through
// daylight-saving changes, missed starts, and clocks moved while waiting,
// never lost and never doubled. The zone is modelled on the European rule
// (CET +1 h, CEST +2 h from 01:00 UTC on the last Sunday of March to 01:00
// UTC on the last Sunday of October).
#include <gtest/gtest.h>

#include "audio/start_schedule.h"

namespace {

constexpr int64_t kHour = 3600000;
constexpr int64_t kMinute = 60000;

UtcMs Utc(int year, int month, int day, int hour, int minute = 0) {
  return UtcMsOfCivil(CivilTime{year, month, day, hour, minute, 0});
}

class EuropeanZone : public TimeZoneRules {
 public:
  CivilTime LocalOf(UtcMs utc) const override {
    const int year = CivilOfUtcMs(utc).year;
    const bool summer = utc >= Change(year, 3) && utc < Change(year, 10);
    return CivilOfUtcMs(utc + (summer ? 2 : 1) * kHour);
  }

 private:
  // 01:00 UTC on the last Sunday of the month (March and October have 31 days).
  static UtcMs Change(int year, int month) {
    int64_t day = DaysFromCivil(year, month, 31);
    day -= (day + 4) % 7;  // 1970-01-01 was a Thursday
    return day * 24 * kHour + kHour;
  }
};

ScheduleRule Rule(int year, int month, int day, int hour, int minute, bool daily, uint32_t seconds) {
  ScheduleRule rule;
  rule.start = CivilTime{year, month, day, hour, minute, 0};
  rule.daily = daily;
  rule.duration_seconds = seconds;
  return rule;
}

TEST(TimedStart, NextOccurrenceOfDailyAndAtOnceRules) {
  EuropeanZone zone;
  StartSchedule schedule(zone);
  // Daily at 09:00 for an hour, armed after today's run ended: tomorrow,
  // nothing missed.
  ASSERT_TRUE(schedule.Arm(Rule(2027, 6, 10, 9, 0, true, 3600), Utc(2027, 6, 10, 12)));
  ScheduledRun run = schedule.Next(Utc(2027, 6, 10, 12));
  EXPECT_EQ(run.answer, RunAnswer::kWait);
  EXPECT_EQ(run.start, Utc(2027, 6, 11, 7));

  // Daily at 21:00 until 01:00 by the clock, earlier than the start: the next day.
  ScheduleRule daily = Rule(2027, 6, 10, 21, 0, true, 0);
  daily.end_by_clock = true;
  daily.end_clock = ClockTime{1, 0, 0};
  ASSERT_TRUE(schedule.Arm(daily, Utc(2027, 6, 10, 12)));
  run = schedule.Next(Utc(2027, 6, 10, 12));
  EXPECT_EQ(run.start, Utc(2027, 6, 10, 19));
  EXPECT_FALSE(run.ends_by_length);
  EXPECT_EQ(run.end, Utc(2027, 6, 10, 23));

  // At once at 23:30 local until 01:00.
  ScheduleRule now_rule;
  now_rule.at_once = true;
  now_rule.end_by_clock = true;
  now_rule.end_clock = ClockTime{1, 0, 0};
  ASSERT_TRUE(schedule.Arm(now_rule, Utc(2027, 6, 10, 21, 30)));
  run = schedule.Next(Utc(2027, 6, 10, 21, 30));
  EXPECT_EQ(run.answer, RunAnswer::kStartNow);
  EXPECT_EQ(run.late_ms, 0);
  EXPECT_EQ(run.end, Utc(2027, 6, 10, 23));
  schedule.MarkDone(run);
  EXPECT_EQ(schedule.Next(Utc(2027, 6, 10, 21, 31)).answer, RunAnswer::kFinished);
}

// The program at the start's time: it is due now, and starts.
void StartAt(StartSchedule& schedule, UtcMs now) {
  const ScheduledRun run = schedule.Next(now);
  ASSERT_EQ(run.answer, RunAnswer::kStartNow);
  EXPECT_EQ(run.late_ms, 0);
  schedule.MarkDone(run);
}

TEST(TimedStart, DaylightSavingGapStartsAtTheNextMinuteAndRepeatAtTheFirst) {
  EuropeanZone zone;
  StartSchedule schedule(zone);
  // Daily at 02:30: on 28 March 2027 the clock goes from 02:00 to 03:00.
  ASSERT_TRUE(schedule.Arm(Rule(2027, 3, 27, 2, 30, true, 600), Utc(2027, 3, 26, 12)));
  EXPECT_EQ(schedule.Next(Utc(2027, 3, 26, 12)).start, Utc(2027, 3, 27, 1, 30));  // 02:30 CET
  StartAt(schedule, Utc(2027, 3, 27, 1, 30));
  EXPECT_EQ(schedule.Next(Utc(2027, 3, 27, 2)).start, Utc(2027, 3, 28, 1));  // 03:00 CEST, after the gap
  StartAt(schedule, Utc(2027, 3, 28, 1));
  EXPECT_EQ(schedule.Next(Utc(2027, 3, 28, 2)).start, Utc(2027, 3, 29, 0, 30));  // 02:30 CEST

  // On 31 October 2027 02:00-03:00 comes twice: the first 02:30 (CEST) starts,
  // and when the clock shows 02:30 again (CET) nothing starts a second time.
  ASSERT_TRUE(schedule.Arm(Rule(2027, 10, 30, 2, 30, true, 600), Utc(2027, 10, 30, 12)));
  ScheduledRun run = schedule.Next(Utc(2027, 10, 30, 12));
  EXPECT_EQ(run.answer, RunAnswer::kWait);
  EXPECT_EQ(run.start, Utc(2027, 10, 31, 0, 30));
  StartAt(schedule, run.start);
  run = schedule.Next(Utc(2027, 10, 31, 1, 30));
  EXPECT_EQ(run.answer, RunAnswer::kWait);
  EXPECT_EQ(run.start, Utc(2027, 11, 1, 1, 30));

  // By the clock across the gap: 01:00 to 04:00 that night lasts two hours.
  ScheduleRule night = Rule(2027, 3, 28, 1, 0, false, 0);
  night.end_by_clock = true;
  night.end_clock = ClockTime{4, 0, 0};
  ASSERT_TRUE(schedule.Arm(night, Utc(2027, 3, 27, 12)));
  run = schedule.Next(Utc(2027, 3, 27, 12));
  EXPECT_EQ(run.end - run.start, 2 * kHour);
}

TEST(TimedStart, MissedStartRunsWhileItsEndIsAheadAndIsToldOnceAfter) {
  EuropeanZone zone;
  StartSchedule schedule(zone);
  const UtcMs start = Utc(2027, 6, 10, 19);  // 21:00 local, one hour
  const ScheduleRule once = Rule(2027, 6, 10, 21, 0, false, 3600);

  // The machine woke 20 minutes late: start at once, the whole length.
  ASSERT_TRUE(schedule.Arm(once, Utc(2027, 6, 10, 12)));
  ScheduledRun run = schedule.Next(start + 20 * kMinute);
  EXPECT_EQ(run.answer, RunAnswer::kStartNow);
  EXPECT_EQ(run.late_ms, 20 * kMinute);
  EXPECT_EQ(run.length_seconds, 3600u);

  // It woke after the end: missed, and then nothing is left.
  run = schedule.Next(start + 70 * kMinute);
  EXPECT_EQ(run.answer, RunAnswer::kMissed);
  schedule.MarkDone(run);
  EXPECT_EQ(schedule.Next(start + 71 * kMinute).answer, RunAnswer::kFinished);

  // Daily, asleep for three days: the latest occurrence is told as missed,
  // with the next, and only once.
  ASSERT_TRUE(schedule.Arm(Rule(2027, 6, 10, 21, 0, true, 3600), Utc(2027, 6, 10, 12)));
  run = schedule.Next(Utc(2027, 6, 13, 22));
  EXPECT_EQ(run.answer, RunAnswer::kMissed);
  EXPECT_EQ(run.start, Utc(2027, 6, 13, 19));
  EXPECT_TRUE(run.has_next);
  EXPECT_EQ(run.next_start, Utc(2027, 6, 14, 19));
  schedule.MarkDone(run);
  run = schedule.Next(Utc(2027, 6, 13, 22));
  EXPECT_EQ(run.answer, RunAnswer::kWait);
  EXPECT_EQ(run.start, Utc(2027, 6, 14, 19));

  // Armed in the middle of today's occurrence: it starts, late.
  ASSERT_TRUE(schedule.Arm(Rule(2027, 6, 10, 21, 0, true, 3600), start + 30 * kMinute));
  run = schedule.Next(start + 30 * kMinute);
  EXPECT_EQ(run.answer, RunAnswer::kStartNow);
  EXPECT_EQ(run.late_ms, 30 * kMinute);
}

TEST(TimedStart, ClockMovedWhileWaitingOrAfterAStartNeitherLosesNorDoubles) {
  EuropeanZone zone;
  StartSchedule schedule(zone);
  const UtcMs start = Utc(2027, 6, 10, 19);
  ASSERT_TRUE(schedule.Arm(Rule(2027, 6, 10, 21, 0, true, 3600), start - 10 * kMinute));
  // The wait is for the same instant however the clock is set meanwhile.
  for (UtcMs now : {start - 10 * kMinute, start - 3 * kHour, start - 1000}) {
    ScheduledRun run = schedule.Next(now);
    EXPECT_EQ(run.answer, RunAnswer::kWait);
    EXPECT_EQ(run.start, start);
  }
  // Set forward past the start: it starts, late by as much.
  ScheduledRun run = schedule.Next(start + 5 * kMinute);
  ASSERT_EQ(run.answer, RunAnswer::kStartNow);
  EXPECT_EQ(run.late_ms, 5 * kMinute);
  schedule.MarkDone(run);
  // Set back after the start, by minutes or by days: today's never starts again.
  for (UtcMs now : {start - 10 * kMinute, start - 50 * kHour, start + 2 * kHour}) {
    run = schedule.Next(now);
    EXPECT_EQ(run.answer, RunAnswer::kWait);
    EXPECT_EQ(run.start, Utc(2027, 6, 11, 19));
  }
}

}  // namespace
