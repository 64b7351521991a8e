#include "codec/current_stream.h"

namespace {

thread_local StreamBudget* current = nullptr;

}  // namespace

StreamBudget* CurrentStream() { return current; }

bool SetCurrentStream(StreamBudget* budget) {
  current = budget;
  return true;
}
