// The playing rate: tenths of a semitone, -120..120, as a factor. The
// transport plays at it and the meter's clock runs at it. Portable.
#pragma once

// 2^(rate_steps / 120).
double RateFactor(int rate_steps);
