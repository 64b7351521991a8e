// The level meter's four styles as lists of filled rectangles, so the window
// side only has to fill them: linear or dB scale, lamps or a continuous bar,
// each with an optional white peak-hold mark.
#pragma once
#include <cstdint>

// A colour as 0x00BBGGRR, the byte order of a Windows COLORREF.
constexpr uint32_t MeterRgb(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

constexpr uint32_t COLOUR_GREEN = MeterRgb(0, 255, 0);
constexpr uint32_t COLOUR_DARK_GREEN = MeterRgb(0, 128, 0);
constexpr uint32_t COLOUR_YELLOW = MeterRgb(255, 255, 0);
constexpr uint32_t COLOUR_OLIVE = MeterRgb(128, 128, 0);
constexpr uint32_t COLOUR_RED = MeterRgb(255, 0, 0);
constexpr uint32_t COLOUR_MAROON = MeterRgb(128, 0, 0);
constexpr uint32_t COLOUR_CYAN = MeterRgb(0, 255, 255);
constexpr uint32_t COLOUR_TEAL = MeterRgb(0, 128, 128);
constexpr uint32_t COLOUR_BLUE = MeterRgb(0, 0, 255);
constexpr uint32_t COLOUR_NAVY = MeterRgb(0, 0, 128);

enum MeterZone { ZONE_BLUE, ZONE_CYAN, ZONE_GREEN, ZONE_YELLOW, ZONE_RED, ZONE_OVER };

// The lit or unlit colour of a zone in the normal or the monochrome scheme.
uint32_t ZoneColour(MeterZone zone, bool lit, bool monochrome);

// One filled rectangle: a solid colour, or white for a hold mark.
struct MeterFill {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  uint32_t colour = 0;
  bool white = false;
};

// At most 26 fills per channel (24 dB lamps, the over lamp and a hold mark).
struct MeterFills {
  static constexpr int kCapacity = 32;
  int row_y = 0;
  int row_height = 0;
  MeterFill fill[kCapacity];
  int count = 0;
  // Adds a fill spanning the row from x, `width` pixels wide.
  void Add(int x, int width, uint32_t colour, bool white = false);
};

// Everything a style needs for one channel row.
struct MeterRowInput {
  int w = 8;               // cell width in pixels
  int row_y = 0;           // top of the row in pixels
  int row_height = 0;      // in pixels; every element spans the full row
  uint32_t level = 0;      // peak of the block, level units
  uint32_t hold = 0;       // the channel's hold after the update of this block
  uint32_t delta = 2048;   // full scale / 16
  bool peak_hold = true;   // PeakHold setting is not 0: draw the hold mark
  bool monochrome = false;
};

// The amplitude ratio of -1 dB.
constexpr double METER_DB_STEP = 0.890898718140339;

// Linear scale, 16 lamps of one delta each and an over lamp.
MeterFills LayoutLinearLeds(const MeterRowInput& in);
// Linear scale, continuous bar of 1.5 cells per delta.
MeterFills LayoutLinearBar(const MeterRowInput& in);
// dB scale, continuous bar of one cell per dB from -24 dB to 0 dB.
MeterFills LayoutDbBar(const MeterRowInput& in);
// dB scale, 24 half-cell lamps of one dB each and an over lamp.
MeterFills LayoutDbLeds(const MeterRowInput& in);

// The lamp thresholds of the dB lamps (index 1..24; index 0 unused): a lamp is
// lit when the level is above its threshold.
struct DbLampThresholds {
  uint32_t threshold[25];
};
DbLampThresholds ComputeDbLampThresholds(uint32_t delta);

// Chooses the style from the settings: display (dB scale) and smooth (bar).
MeterFills LayoutMeterRow(const MeterRowInput& in, bool db_scale, bool smooth);

// The channel captions beside the bars.
struct MeterLabel {
  int x = 0;
  int y = 0;
  const char* text = nullptr;
  int length = 0;
};
struct MeterLabelLayout {
  // Height of the created bold Shift-JIS caption font; 0 means the stock OEM
  // fixed font.
  int font_height = 0;
  int count = 0;
  MeterLabel label[2];
};
MeterLabelLayout LayoutMeterLabels(int sample_class, int ui_scale, unsigned windows_version, int w, int h,
                                   bool japanese);

// The meter area: (w, 13h), 35w by 5h.
struct MeterRect {
  int x, y, width, height;
};
inline MeterRect MeterArea(int w, int h) { return {w, 13 * h, 35 * w, 5 * h}; }
