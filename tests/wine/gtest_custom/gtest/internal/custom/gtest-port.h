// Local settings for GoogleTest built with the MinGW cross compiler, whose
// default thread model has no std::mutex or std::condition_variable. Only
// GoogleTest's own tests use Notification; a plain flag is enough here.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { __atomic_store_n(&notified_, true, __ATOMIC_SEQ_CST); }
  void WaitForNotification() {
    while (!__atomic_load_n(&notified_, __ATOMIC_SEQ_CST)) {
    }
  }

 private:
  bool notified_ = false;
};

}  // namespace internal
}  // namespace testing
