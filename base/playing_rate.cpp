#include "base/playing_rate.h"

#include <cmath>

double RateFactor(int rate_steps) { return std::pow(2.0, rate_steps / 120.0); }
