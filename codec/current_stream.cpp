#include "codec/current_stream.h"

namespace {

thread_local StreamBudget* current = nullptr;
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
