#include "base/run_state.h"

bool RunStatus::Start(bool standby) {
  if (state_ != RunState::kIdle) return false;
  state_ = standby ? RunState::kStandby : RunState::kRunning;
  return true;
}

bool RunStatus::Pause() {
  if (state_ != RunState::kRunning) return false;
  state_ = RunState::kPaused;
  return true;
}

bool RunStatus::Resume() {
  if (!paused()) return false;
  state_ = RunState::kRunning;
  return true;
}

bool RunStatus::AskStop() {
  if (!under_way()) return false;
  state_ = RunState::kStopping;
  return true;
}

void RunStatus::Close() {
  if (active()) state_ = RunState::kClosing;
}
