// The rules of time of a timed recording: when the next run starts and when
// it ends, judged against the system's clock and the local time zone, both
// handed in, so that the rules hold however the clock moves. Portable.
//
// Every time is absolute: milliseconds since 1970-01-01 00:00 UTC (`UtcMs`;
// on Windows from GetSystemTimeAsFileTime). The program waits for an absolute
// instant (a waitable timer set to `ScheduledRun::start`), never for a
// count-down: after a change of the clock (WM_TIMECHANGE), a resume from sleep
// (WM_POWERBROADCAST) or a change between standard and daylight time it asks
// `Next` again with the new time, and the start is neither lost (a wait that
// slept through it is answered "start now" or "missed") nor doubled (an
// occurrence once started is kept as done, whatever the clock says later).
//
// How the program drives it:
//   StartSchedule schedule(zone);
//   schedule.Arm(rule, now);                   // false: a rule out of range
//   loop: ScheduledRun run = schedule.Next(now);
//     kWait:     wait until run.start (or a clock change, a resume, a cancel), then loop
//     kStartNow: schedule.MarkDone(run); record (say run.late_ms in the level
//                report when it is not small); end after run.length_seconds of
//                frames, or at run.end by the clock; a daily rule then loops
//     kMissed:   say so; schedule.MarkDone(run); loop (a daily rule waits for
//                the next occurrence, run.next_start)
//     kFinished: nothing is left to run
#pragma once
#include <cstdint>

using UtcMs = int64_t;

// A date and time of day as a clock shows it (local, or UTC where said).
struct CivilTime {
  int year = 1970, month = 1, day = 1;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0;
};

// The calendar, in UTC (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day);  // days since 1970-01-01
UtcMs UtcMsOfCivil(const CivilTime& utc);             // the civil time read as UTC
CivilTime CivilOfUtcMs(UtcMs utc);                    // milliseconds dropped
// A date and time that exists in the calendar (any year 1601..30827, as the
// system's own time records take).
bool IsValidCivilTime(const CivilTime& time);

// The local time zone. The program's zone (the system's rules, through
// SystemTimeToTzSpecificLocalTime) needs only LocalOf; the tests give model
// zones with gaps and repeats.
class TimeZoneRules {
 public:
  virtual ~TimeZoneRules() = default;
  // What the local clock shows at the instant `utc`.
  virtual CivilTime LocalOf(UtcMs utc) const = 0;
  // The instants at which the local clock shows `local`, earliest first, in
  // `out`; returns how many: 0 when the clock jumps over it (spring forward),
  // 2 when it shows it twice (fall back), else 1. The default finds them from
  // LocalOf: for each offset from UTC that the zone has within a day either
  // side of `local`, the instant `local` less that offset counts when the zone
  // has that very offset there (so two changes within two days are not seen).
  virtual int UtcOf(const CivilTime& local, UtcMs out[2]) const;
};

struct ClockTime {
  int hour = 0, minute = 0, second = 0;
};

// What the user set.
struct ScheduleRule {
  bool at_once = false;  // start at once (when armed); else at `start`
  CivilTime start;       // local date and time of the (first) start
  bool daily = false;    // again every day at start's time of day, from its date on
  bool end_by_clock = false;
  uint32_t duration_seconds = 3600;  // !end_by_clock: the length of each run
  ClockTime end_clock;               // end_by_clock: the local time it ends, on
                                     // the start's day, or the next day when it
                                     // is not later than the start's time of day
};

// Runs last at most a week; a daily run less than 23 hours (the length of the
// day the clock springs forward), so that it has ended before the next starts.
constexpr uint32_t kMaxRunSeconds = 7 * 24 * 3600;
constexpr uint32_t kMaxDailyRunSeconds = 23 * 3600 - 1;

// The rule can be armed: times within their ranges (a valid local date and
// time unless at once), a length of 1 s up to the limits above, and daily only
// with a start time (at once runs once). A hand-edited settings file that
// fails here gets the defaults.
bool IsValidScheduleRule(const ScheduleRule& rule);

// A duration's length in frames: exactly seconds x rate.
inline uint64_t FramesOfSeconds(uint32_t seconds, uint32_t rate) { return uint64_t{seconds} * rate; }

enum class RunAnswer {
  kWait,      // wait until `start`
  kStartNow,  // the occurrence is due (or late by `late_ms`) and has not ended: start it now
  kMissed,    // the occurrence passed, start and end, while nothing could run it
  kFinished,  // nothing more to run (a once rule done or missed)
};

struct ScheduledRun {
  RunAnswer answer = RunAnswer::kFinished;
  // Which occurrence: its local start date (days since 1970-01-01); for a
  // rule started at once, the day it was armed. Handed back in MarkDone.
  int64_t occurrence = 0;
  UtcMs start = 0;      // when the occurrence starts (a local time that does not
                        // exist: the next valid minute; one that exists twice:
                        // the first time)
  UtcMs late_ms = 0;    // kStartNow: how long after `start` it is now
  // How the run ends. By length: exactly FramesOfSeconds(length_seconds, rate)
  // frames from the moment it really starts (a late start records the whole
  // length, so nothing of it is lost). By clock: when the clock reaches `end`.
  bool ends_by_length = true;
  uint32_t length_seconds = 0;
  // The end: by clock the instant to stop at; by length start + length, the
  // end that decides whether a late occurrence still starts or was missed.
  UtcMs end = 0;
  // kMissed of a daily rule: the next occurrence's start.
  bool has_next = false;
  UtcMs next_start = 0;
};

class StartSchedule {
 public:
  // The zone must outlive the schedule.
  explicit StartSchedule(const TimeZoneRules& zone) : zone_(zone) {}

  // Takes the rule at the time `now`; nothing of an earlier rule is kept.
  // False (and nothing armed) when the rule is not valid.
  bool Arm(const ScheduleRule& rule, UtcMs now);

  // What to do at `now`. Only the latest occurrence that has started by then
  // and is not done counts (one the machine slept through entirely is not
  // reported after a later one): if its end is still ahead, kStartNow; else
  // kMissed, except for a daily occurrence that was over before the rule was
  // armed, which is passed over in silence. Otherwise kWait for the next
  // occurrence, or kFinished. Changes nothing: asking again is always safe.
  ScheduledRun Next(UtcMs now) const;

  // The occurrence was started, or its miss was told: it never runs again,
  // nor any earlier one, whatever the clock says afterwards.
  void MarkDone(const ScheduledRun& run);

  bool armed() const { return armed_; }

 private:
  struct Occurrence {
    UtcMs start, end;
  };
  Occurrence OccurrenceOn(int64_t day) const;
  UtcMs Resolve(const CivilTime& local) const;
  ScheduledRun Answer(RunAnswer answer, int64_t day, const Occurrence& occurrence) const;

  const TimeZoneRules& zone_;
  ScheduleRule rule_;
  bool armed_ = false;
  UtcMs armed_at_ = 0;
  int64_t first_day_ = 0;   // the first occurrence's local date
  bool any_done_ = false;
  int64_t done_through_ = 0;  // the last occurrence done (when any_done_)
};
