// GoogleTest's Notification uses std::mutex, which the win32-thread MinGW runtime lacks; this
// event-based one stands in for it in the cross build of the test suites only.
#pragma once
#ifdef __cplusplus
#include <windows.h>
namespace testing {
namespace internal {
class Notification {
 public:
  Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};
}  // namespace internal
}  // namespace testing
#define GTEST_HAS_NOTIFICATION_ 1
#endif
