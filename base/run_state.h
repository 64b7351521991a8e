// The state of the transport's one play or record run, and the only ways it
// changes. Portable.
#pragma once
#include <cstdint>

// How a run moves its sound (TransportState::buffer_count): one memory block that
// holds all of it, or four buffers that circulate between the device and the
// file. The value is the number of buffers that circulate.
enum BufferMode : int { ON_MEMORY = 1, STREAMING = 4 };

enum class RunState : uint8_t {
  kIdle,      // no run
  kStandby,   // a recording started paused: the input is metered, nothing is kept
  kRunning,   // sound is played, or captured and kept
  kPaused,    // a run paused part-way
  kStopping,  // a recording was told to stop: the first block the device hands
              // back is kept and ends the run (a device that keeps them all is
              // given a bounded wait)
  kClosing,   // the device is being reset and closed: what it hands back now is
              // not handled
};

// The run's state. Each transition applies only from the states it names and
// says whether it did, so a late or repeated command cannot move a run back:
// a Pause that arrives while the run is stopping is no pause.
class RunStatus {
 public:
  RunState state() const { return state_; }

  // kIdle -> kRunning, or kStandby for a recording started paused.
  bool Start(bool standby);
  // kRunning -> kPaused.
  bool Pause();
  // kPaused or kStandby -> kRunning.
  bool Resume();
  // kStandby, kRunning or kPaused -> kStopping.
  bool AskStop();
  // Any run -> kClosing; without a run the state stays kIdle.
  void Close();
  // Any state -> kIdle.
  void End() { state_ = RunState::kIdle; }

  // A run exists, in whatever state.
  bool active() const { return state_ != RunState::kIdle; }
  // Paused part-way or on standby.
  bool paused() const { return state_ == RunState::kPaused || state_ == RunState::kStandby; }
  // A run that is not paused: sound flows, or is being stopped.
  bool live() const { return active() && !paused(); }
  // The run takes Pause, Cont and Stop: it is not ending.
  bool under_way() const { return state_ == RunState::kRunning || paused(); }
  // Blocks the device hands back are handled (while stopping, the first one).
  bool takes_blocks() const { return under_way() || state_ == RunState::kStopping; }

 private:
  RunState state_ = RunState::kIdle;
};
