// One installer at a time in a logon session.
#pragma once

#include "platform/win32/Handles.h"

namespace cvi::win32 {

// The claim of the first installer in the logon session, held for its whole run. Two installers
// at once would fight over the package file, the keyboard focus and the self-extractor's dialog.
class SessionClaim {
 public:
  explicit SessionClaim(const char* name);
  // False when another process of the session holds the claim.
  bool First() const { return first_; }

 private:
  KernelHandle mutex_;
  bool first_ = true;
};

// Brings the visible window of `windowClass` that another process shows, or the box that window is
// showing, to the front; waits up to `timeoutMs` for that process to show it. False when none
// appeared.
bool BringOtherInstanceToFront(const char* windowClass, DWORD timeoutMs);

}  // namespace cvi::win32
