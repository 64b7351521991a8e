#include "codec/current_stream_win32.h"

#include <windows.h>

#include "codec/current_stream.h"

namespace {

// Per process: the driver's one TLS slot, taken when it is loaded.
DWORD slot = TLS_OUT_OF_INDEXES;

}  // namespace

bool TakeCurrentStreamSlot() {
  if (slot == TLS_OUT_OF_INDEXES) slot = TlsAlloc();
  return slot != TLS_OUT_OF_INDEXES;
}

void ReturnCurrentStreamSlot() {
  if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
  slot = TLS_OUT_OF_INDEXES;
}

// TlsGetValue allocates nothing; TlsSetValue may have to (for slots past the
// first 64) and then fails without harm.
StreamBudget* CurrentStream() {
  return slot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<StreamBudget*>(TlsGetValue(slot));
}

bool SetCurrentStream(StreamBudget* budget) {
  return slot != TLS_OUT_OF_INDEXES && TlsSetValue(slot, budget) != FALSE;
}
