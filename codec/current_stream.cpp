#include "codec/current_stream.h"

namespace {

// Per thread, as the driver's TLS slot: the stream the thread works on.
thread_local StreamBudget* current = nullptr;
// Per process: the tests' switch that refuses a stream, as a slot that cannot be had.
bool refused = false;

}  // namespace

StreamBudget* CurrentStream() { return current; }

bool SetCurrentStream(StreamBudget* budget) {
  // Setting back none cannot fail, as with the system's slot.
  if (refused && budget != nullptr) return false;
  current = budget;
  return true;
}

void RefuseCurrentStream(bool refuse) { refused = refuse; }
