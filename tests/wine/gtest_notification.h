// GoogleTest's Notification for mingw-w64 without std::mutex (its win32
// thread model): the same class over a Win32 event. GoogleTest uses it only
// in its own threading helpers; force-included by wine_tests.cmake.
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
#endif
