#include "audio/transport_state_win32.h"

namespace {
TransportState state;
}  // namespace

const TransportState& transport = state;

TransportState& OwnedTransport() { return state; }

RunRecord& OwnedRun() { return state.run; }

bool IsRecordingLive() { return transport.run.live() && transport.mode == MODE_REC; }
