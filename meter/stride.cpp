#include "meter/stride.h"

#include <cmath>

#include "base/format_record.h"

int ExpectedPeriodMs(const StridePeriodInputs& inputs) {
  double base = !In11025Family(inputs.rate) ? inputs.deltatime / 8.0 : inputs.deltatime / 11.025;
  if (!inputs.recording) base *= std::pow(0.5, inputs.rate_steps / 120.0);
  int t = static_cast<int>(base + 0.5);
  if (t == 0) return 0;
  if (inputs.on_memory) t = 1.2 * t > 55.0 ? static_cast<int>(1.2 * t) : 55;
  return t;
}

namespace {

enum StrideAction { HALVE, LESS_ONE };

// One row of the lowering table: when the work took less than `share` of the
// period and the stride satisfies the bound, apply the action.
struct LoweringRule {
  double share;
  uint32_t bound;
  bool strictly_above;  // stride > bound, else stride >= bound
  StrideAction action;
};

// Recording leaves most of the period to the disk; playing may spend more.
const LoweringRule kRecordingRules[] = {
    {0.10, 30, true, HALVE},     {0.05, 15, true, HALVE},     {0.20, 9, false, LESS_ONE},
    {0.18, 7, false, LESS_ONE},  {0.16, 5, false, LESS_ONE},  {0.14, 4, false, LESS_ONE},
    {0.12, 3, false, LESS_ONE},  {0.10, 2, false, LESS_ONE},
};
const LoweringRule kPlayingRules[] = {
    {0.15, 4, false, HALVE},     {0.30, 60, true, HALVE},     {0.81, 9, false, LESS_ONE},
    {0.76, 7, false, LESS_ONE},  {0.68, 5, false, LESS_ONE},  {0.61, 4, false, LESS_ONE},
    {0.49, 3, false, LESS_ONE},  {0.30, 2, false, LESS_ONE},
};

}  // namespace

uint32_t AdaptedStride(uint32_t stride, int32_t interval, int32_t work, int t, bool recording) {
  double period = t;
  if (interval > 1.09 * period) {
    stride *= 2;
    return stride == 0 ? 65535 : stride;
  }
  if (interval > 1.01 * period) {
    stride += 1;
    return stride == 0 ? 65535 : stride;
  }
  const LoweringRule* rules = recording ? kRecordingRules : kPlayingRules;
  for (int i = 0; i < 8; ++i) {
    const LoweringRule& rule = rules[i];
    bool stride_fits = rule.strictly_above ? stride > rule.bound : stride >= rule.bound;
    if (work < rule.share * period && stride_fits) return rule.action == HALVE ? stride >> 1 : stride - 1;
  }
  return stride;
}
