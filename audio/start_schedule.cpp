#include "audio/start_schedule.h"

#include <algorithm>

namespace {

constexpr int64_t kMsPerDay = 86400000;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

CivilTime CivilOfDay(int64_t days, int hour, int minute, int second) {
  CivilTime time = CivilOfUtcMs(days * kMsPerDay);
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  return time;
}

int64_t DayOf(const CivilTime& time) { return DaysFromCivil(time.year, time.month, time.day); }

int SecondOfDay(int hour, int minute, int second) { return (hour * 60 + minute) * 60 + second; }

bool IsValidClockTime(const ClockTime& time) {
  return time.hour >= 0 && time.hour < 24 && time.minute >= 0 && time.minute < 60 && time.second >= 0 &&
         time.second < 60;
}

}  // namespace

int64_t DaysFromCivil(int year, int month, int day) {
  const int64_t y = int64_t{year} - (month <= 2);
  const int64_t era = FloorDiv(y, 400);
  const int64_t year_of_era = y - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

UtcMs UtcMsOfCivil(const CivilTime& utc) {
  return DaysFromCivil(utc.year, utc.month, utc.day) * kMsPerDay +
         int64_t{SecondOfDay(utc.hour, utc.minute, utc.second)} * 1000;
}

CivilTime CivilOfUtcMs(UtcMs utc) {
  const int64_t days = FloorDiv(utc, kMsPerDay);
  const int64_t seconds = (utc - days * kMsPerDay) / 1000;
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t day_of_era = z - era * 146097;
  const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;
  CivilTime time;
  time.day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  time.month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  time.year = static_cast<int>(year_of_era + era * 400 + (time.month <= 2));
  time.hour = static_cast<int>(seconds / 3600);
  time.minute = static_cast<int>(seconds / 60 % 60);
  time.second = static_cast<int>(seconds % 60);
  return time;
}

bool IsValidCivilTime(const CivilTime& time) {
  return time.year >= 1601 && time.year <= 30827 && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
         time.day <= DaysInMonth(time.year, time.month) &&
         IsValidClockTime(ClockTime{time.hour, time.minute, time.second});
}

int TimeZoneRules::UtcOf(const CivilTime& local, UtcMs out[2]) const {
  const UtcMs as_utc = UtcMsOfCivil(local);
  // The zone's offset at an instant: what its clock shows, read as UTC, less
  // the instant (to the second, as the clock shows seconds).
  auto offset_at = [this](UtcMs instant) {
    const UtcMs second = FloorDiv(instant, 1000) * 1000;
    return UtcMsOfCivil(LocalOf(instant)) - second;
  };
  UtcMs found[3];
  int count = 0;
  for (UtcMs probe : {as_utc - kMsPerDay, as_utc, as_utc + kMsPerDay}) {
    const UtcMs offset = offset_at(probe);
    const UtcMs candidate = as_utc - offset;
    if (offset_at(candidate) != offset) continue;
    if (std::find(found, found + count, candidate) != found + count) continue;
    int at = count++;  // kept in order
    for (; at > 0 && found[at - 1] > candidate; --at) found[at] = found[at - 1];
    found[at] = candidate;
  }
  count = std::min(count, 2);
  std::copy(found, found + count, out);
  return count;
}

bool IsValidScheduleRule(const ScheduleRule& rule) {
  if (!rule.at_once && !IsValidCivilTime(rule.start)) return false;
  if (rule.daily && rule.at_once) return false;
  if (rule.end_by_clock) return IsValidClockTime(rule.end_clock);
  return rule.duration_seconds >= 1 && rule.duration_seconds <= (rule.daily ? kMaxDailyRunSeconds : kMaxRunSeconds);
}

bool StartSchedule::Arm(const ScheduleRule& rule, UtcMs now) {
  armed_ = IsValidScheduleRule(rule);
  if (!armed_) return false;
  rule_ = rule;
  armed_at_ = now;
  first_day_ = DayOf(rule.at_once ? zone_.LocalOf(now) : rule.start);
  any_done_ = false;
  done_through_ = 0;
  return true;
}

UtcMs StartSchedule::Resolve(const CivilTime& local) const {
  UtcMs found[2];
  if (zone_.UtcOf(local, found) > 0) return found[0];  // of two, the first
  // In a gap: the next whole minute the clock shows (a gap is at most a day).
  const UtcMs minute = FloorDiv(UtcMsOfCivil(local), 60000) * 60000;
  for (int k = 1; k <= 25 * 60; ++k) {
    if (zone_.UtcOf(CivilOfUtcMs(minute + k * int64_t{60000}), found) > 0) return found[0];
  }
  // A zone that never shows it again: the offset it has there.
  const UtcMs as_utc = UtcMsOfCivil(local);
  return 2 * as_utc - UtcMsOfCivil(zone_.LocalOf(as_utc));
}

StartSchedule::Occurrence StartSchedule::OccurrenceOn(int64_t day) const {
  Occurrence occurrence;
  CivilTime local;
  if (rule_.at_once) {
    occurrence.start = armed_at_;
    local = zone_.LocalOf(armed_at_);
  } else {
    local = CivilOfDay(day, rule_.start.hour, rule_.start.minute, rule_.start.second);
    occurrence.start = Resolve(local);
  }
  if (!rule_.end_by_clock) {
    occurrence.end = occurrence.start + int64_t{rule_.duration_seconds} * 1000;
    return occurrence;
  }
  // The start's time of day as set (not as a gap moved it) decides the day.
  const ClockTime& end = rule_.end_clock;
  const bool next_day = SecondOfDay(end.hour, end.minute, end.second) <= SecondOfDay(local.hour, local.minute, local.second);
  occurrence.end = Resolve(CivilOfDay(DayOf(local) + (next_day ? 1 : 0), end.hour, end.minute, end.second));
  return occurrence;
}

ScheduledRun StartSchedule::Answer(RunAnswer answer, int64_t day, const Occurrence& occurrence) const {
  ScheduledRun run;
  run.answer = answer;
  run.occurrence = day;
  run.start = occurrence.start;
  run.end = occurrence.end;
  run.ends_by_length = !rule_.end_by_clock;
  run.length_seconds = rule_.end_by_clock ? 0 : rule_.duration_seconds;
  return run;
}

ScheduledRun StartSchedule::Next(UtcMs now) const {
  if (!armed_ || (!rule_.daily && any_done_)) return ScheduledRun();
  int64_t day = first_day_;
  if (rule_.daily) {
    // Occurrences start within their own local day (a gap may move one past
    // midnight), so two days back is early enough to find the latest.
    day = std::max(day, DayOf(zone_.LocalOf(now)) - 2);
    if (any_done_) day = std::max(day, done_through_ + 1);
  }
  bool has_past = false;
  int64_t past_day = 0;
  Occurrence past{0, 0};
  Occurrence next = OccurrenceOn(day);
  while (next.start <= now) {
    has_past = true;
    past_day = day;
    past = next;
    if (!rule_.daily) break;
    next = OccurrenceOn(++day);
  }
  if (has_past) {
    if (now < past.end) {
      ScheduledRun run = Answer(RunAnswer::kStartNow, past_day, past);
      run.late_ms = now - past.start;
      return run;
    }
    if (!rule_.daily || past.start >= armed_at_) {
      ScheduledRun run = Answer(RunAnswer::kMissed, past_day, past);
      run.has_next = rule_.daily;
      run.next_start = rule_.daily ? next.start : 0;
      return run;
    }
  }
  return Answer(RunAnswer::kWait, day, next);
}

void StartSchedule::MarkDone(const ScheduledRun& run) {
  if (!armed_ || (run.answer != RunAnswer::kStartNow && run.answer != RunAnswer::kMissed)) return;
  done_through_ = any_done_ ? std::max(done_through_, run.occurrence) : run.occurrence;
  any_done_ = true;
}
