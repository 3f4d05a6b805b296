// OLE on the calling thread for one scope: the shell's folder dialog needs it. A balanced pair,
// whether or not OLE was already initialised there.
#pragma once

#include <ole2.h>
#include <windows.h>

namespace cvi::win32 {

class OleSession {
 public:
  OleSession() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleSession() {
    if (ok_)
      OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  bool ok_;
};

}  // namespace cvi::win32
