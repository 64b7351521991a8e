#include "meter/meter_styles.h"

#include <algorithm>
#include <cmath>

#include "base/windows_version.h"
#include "meter/levels.h"
#include "resources/ja_meter.h"

uint32_t ZoneColour(MeterZone zone, bool lit, bool monochrome) {
  struct Pair {
    uint32_t lit, unlit;
  };
  static const Pair kNormal[] = {
      {COLOUR_BLUE, COLOUR_NAVY},        {COLOUR_CYAN, COLOUR_TEAL},  {COLOUR_GREEN, COLOUR_DARK_GREEN},
      {COLOUR_YELLOW, COLOUR_OLIVE},     {COLOUR_RED, COLOUR_MAROON}, {COLOUR_RED, COLOUR_MAROON},
  };
  static const Pair kMonochrome[] = {
      {COLOUR_CYAN, COLOUR_NAVY},   {COLOUR_YELLOW, COLOUR_MAROON}, {COLOUR_CYAN, COLOUR_NAVY},
      {COLOUR_YELLOW, COLOUR_MAROON}, {COLOUR_CYAN, COLOUR_NAVY},   {COLOUR_YELLOW, COLOUR_MAROON},
  };
  const Pair& pair = (monochrome ? kMonochrome : kNormal)[zone];
  return lit ? pair.lit : pair.unlit;
}

void MeterFills::Add(int x, int width, uint32_t colour, bool white) {
  if (count >= kCapacity) return;
  MeterFill& f = fill[count++];
  f.x = x;
  f.y = row_y;
  f.width = width;
  f.height = row_height;
  f.colour = colour;
  f.white = white;
}

namespace {

MeterFills StartRow(const MeterRowInput& in) {
  MeterFills fills;
  fills.row_y = in.row_y;
  fills.row_height = in.row_height;
  return fills;
}

uint32_t Nearest(double x) { return static_cast<uint32_t>(x + 0.5); }

// The clip threshold: one step below full scale.
uint32_t ClipThreshold(uint32_t delta) { return 16 * delta - 2; }

// A zone of a continuous bar: the lit part from the zone start, the unlit part
// over the rest of the span (only while the lit part is shorter than `full`).
void AddBarZone(MeterFills& fills, const MeterRowInput& in, MeterZone zone, int start, int span, int full,
                int length) {
  if (length > 0) fills.Add(start, length, ZoneColour(zone, true, in.monochrome));
  if (length < full) fills.Add(start + length, span - length, ZoneColour(zone, false, in.monochrome));
}

// (units * w * 24 / delta) >> 4: 1.5 cells per delta. In 64 bits, so that no
// level can wrap it round.
int BarLength(uint64_t units, int w, uint32_t delta) {
  return static_cast<int>((units * static_cast<uint64_t>(w) * 24 / delta) >> 4);
}

// 20 log10(level / full scale), or -99 for silence.
double DecibelsBelowFullScale(uint32_t level, uint32_t delta) {
  return level > 0 ? 20.0 * std::log10(level / (16.0 * delta)) : -99.0;
}

int TruncatedLength(double cells, int w, int most) {
  double length = cells * w;
  if (length <= 0.0) return 0;
  if (length >= most) return most;
  return static_cast<int>(length);
}

}  // namespace

MeterFills LayoutLinearLeds(const MeterRowInput& in) {
  MeterFills fills = StartRow(in);
  if (in.delta == 0) return fills;
  const int w = in.w;
  for (uint32_t k = 0; k < 16; ++k) {
    MeterZone zone = k < 8 ? ZONE_GREEN : k < 12 ? ZONE_YELLOW : ZONE_RED;
    bool lit = in.level > k * in.delta;
    fills.Add(w + (static_cast<int>(3 * k + 2) * w) / 2, w, ZoneColour(zone, lit, in.monochrome));
  }
  fills.Add(w + (50 * w) / 2, w, ZoneColour(ZONE_OVER, in.level > ClipThreshold(in.delta), in.monochrome));
  if (in.peak_hold && in.hold > 0) {
    uint32_t c = in.hold > ClipThreshold(in.delta) ? 50 : 3 * ((in.hold - 1) / in.delta) + 2;
    fills.Add((static_cast<int>(c) * w) / 2 + 2 * w - w / 4, w / 4, 0, true);
  }
  return fills;
}

MeterFills LayoutLinearBar(const MeterRowInput& in) {
  MeterFills fills = StartRow(in);
  if (in.delta == 0) return fills;
  const int w = in.w;
  const uint32_t delta = in.delta;
  int green = std::min(BarLength(in.level, w, delta), 12 * w);
  int yellow = in.level < 8 * delta ? 0 : std::min(BarLength(in.level - 8 * delta, w, delta), 6 * w);
  int red = in.level < 12 * delta ? 0 : in.level < 16 * delta - 1 ? BarLength(in.level - 12 * delta, w, delta) : 6 * w + 1;
  AddBarZone(fills, in, ZONE_GREEN, 2 * w, 12 * w, 12 * w, green);
  AddBarZone(fills, in, ZONE_YELLOW, 14 * w, 6 * w, 6 * w, yellow);
  AddBarZone(fills, in, ZONE_RED, 20 * w, 6 * w + 1, 6 * w, red);
  if (in.peak_hold) {
    uint32_t hold = std::min(in.hold, 16 * delta);
    if (hold > 0) fills.Add(2 * w + BarLength(hold, w, delta), 1, 0, true);
  }
  return fills;
}

MeterFills LayoutDbBar(const MeterRowInput& in) {
  MeterFills fills = StartRow(in);
  if (in.delta == 0) return fills;
  const int w = in.w;
  double v = DecibelsBelowFullScale(in.level, in.delta);
  int red = v >= -0.1 ? 3 * w + 1 : TruncatedLength(3 + v, w, 3 * w + 1);
  AddBarZone(fills, in, ZONE_BLUE, 2 * w, 6 * w, 6 * w, TruncatedLength(24 + v, w, 6 * w));
  AddBarZone(fills, in, ZONE_CYAN, 8 * w, 6 * w, 6 * w, TruncatedLength(18 + v, w, 6 * w));
  AddBarZone(fills, in, ZONE_GREEN, 14 * w, 6 * w, 6 * w, TruncatedLength(12 + v, w, 6 * w));
  AddBarZone(fills, in, ZONE_YELLOW, 20 * w, 3 * w, 3 * w, TruncatedLength(6 + v, w, 3 * w));
  AddBarZone(fills, in, ZONE_RED, 23 * w, 3 * w + 1, 3 * w + 1, red);
  if (in.peak_hold) {
    double u = DecibelsBelowFullScale(std::min(in.hold, 16 * in.delta), in.delta);
    if (u > -24.0) fills.Add(static_cast<int>(2 * w + (24 + u) * w), 1, 0, true);
  }
  return fills;
}

DbLampThresholds ComputeDbLampThresholds(uint32_t delta) {
  DbLampThresholds t = {};
  // Each zone starts from its own top value and steps down by 1 dB a lamp.
  struct ZoneTop {
    int top_lamp, bottom_lamp;
    double top_value;
  };
  const ZoneTop zones[] = {
      {24, 22, 16.0 * delta * METER_DB_STEP},
      {21, 19, 8.0 * delta * 1.4142135623731 * METER_DB_STEP},
      {18, 13, 8.0 * delta * METER_DB_STEP},
      {12, 7, 4.0 * delta * METER_DB_STEP},
      {6, 1, 2.0 * delta * METER_DB_STEP},
  };
  for (const ZoneTop& zone : zones) {
    uint32_t value = Nearest(zone.top_value);
    for (int j = zone.top_lamp; j >= zone.bottom_lamp; --j) {
      t.threshold[j] = value;
      value = Nearest(value * METER_DB_STEP);
    }
  }
  return t;
}

MeterFills LayoutDbLeds(const MeterRowInput& in) {
  MeterFills fills = StartRow(in);
  if (in.delta == 0) return fills;
  const int w = in.w;
  DbLampThresholds thresholds = ComputeDbLampThresholds(in.delta);
  for (int j = 1; j <= 24; ++j) {
    MeterZone zone = j <= 6 ? ZONE_BLUE : j <= 12 ? ZONE_CYAN : j <= 18 ? ZONE_GREEN : j <= 21 ? ZONE_YELLOW : ZONE_RED;
    fills.Add(w + j * w, w / 2, ZoneColour(zone, in.level > thresholds.threshold[j], in.monochrome));
  }
  fills.Add(w + (50 * w) / 2, w, ZoneColour(ZONE_OVER, in.level > ClipThreshold(in.delta), in.monochrome));
  if (in.peak_hold) {
    // The highest lamp whose threshold lies below the hold, stepping down by
    // 1 dB from the top without the zones' restarts. Small thresholds can stop
    // shrinking when rounded, so the lamp count bounds the search.
    uint32_t threshold = Nearest(16.0 * in.delta * METER_DB_STEP);
    int n = 48;
    while (n > 0 && threshold >= in.hold) {
      threshold = Nearest(threshold * METER_DB_STEP);
      n -= 2;
    }
    if (in.hold > ClipThreshold(in.delta)) n = 51;
    if (n > 0) fills.Add(((n + 1) * w) / 2 + w - w / 4, w / 4, 0, true);
  }
  return fills;
}

MeterFills LayoutMeterRow(const MeterRowInput& in, bool db_scale, bool smooth) {
  if (!db_scale) return smooth ? LayoutLinearBar(in) : LayoutLinearLeds(in);
  return smooth ? LayoutDbBar(in) : LayoutDbLeds(in);
}

MeterLabelLayout LayoutMeterLabels(int sample_class, int ui_scale, unsigned windows_version, int w, int h,
                                   bool japanese) {
  MeterLabelLayout layout;
  if (IsStereoClass(sample_class)) {
    int raise = 0;
    if (ui_scale == 2) {
      layout.font_height = -2 * h;
      raise = 8;
    } else if (windows_version >= kWindows395) {
      layout.font_height = -(3 * h) / 2;
      raise = 1;
    } else {
      layout.font_height = -h;
    }
    int x = w + (54 * w) / 2;
    layout.label[0] = {x, 14 * h - raise, japanese ? ja::kMeterLeft : "  LEFT  ", 8};
    layout.label[1] = {x, 16 * h - raise, japanese ? ja::kMeterRight : "  RIGHT   ", 10};
    layout.count = 2;
  } else {
    layout.font_height = ui_scale == 2 ? -2 * h : 0;
    layout.label[0] = {w + (53 * w) / 2, 14 * h + h / 2, "Monaural", 8};
    layout.count = 1;
  }
  return layout;
}
