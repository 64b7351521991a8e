#include "meter/meter_record_win32.h"

namespace {
MeterRecord state;
}  // namespace

const MeterRecord& level_meter = state;

MeterRecord& OwnedMeter() { return state; }
