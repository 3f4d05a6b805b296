// One installer at a time in a logon session.
#pragma once

#include "platform/win32/Handles.h"

namespace cvi::win32 {

// The claim of the first installer in the logon session, held for its whole run. Two installers
// at once would fight over the package file, the keyboard focus and the self-extractor's dialog.
class SessionClaim {
 public:
  enum class Holder {
    ThisProcess,
    // Another installer of the session holds it, one whose claim this process could open.
    Another,
    // Another installer holds it that this process may not even open: one started as
    // administrator, when this one was not.
    AnotherOutOfReach,
  };

  explicit SessionClaim(const char* name);
  Holder HeldBy() const { return holder_; }

 private:
  KernelHandle mutex_;
  Holder holder_ = Holder::ThisProcess;
};

// Brings the visible window of `windowClass` that another process shows, or the box that window is
// showing, to the front; waits up to `timeoutMs` for that process to show it. False when none
// appeared.
bool BringOtherInstanceToFront(const char* windowClass, DWORD timeoutMs);

}  // namespace cvi::win32
