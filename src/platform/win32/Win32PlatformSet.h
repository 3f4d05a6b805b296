// Every Win32 implementation of the platform in one place, for programs that run the logic without
// the installer's own windows (tests, benchmarks); the message boxes are the caller's.
#pragma once

#include "platform/win32/Win32Platform.h"

namespace cvi::win32 {

struct Win32PlatformSet {
  explicit Win32PlatformSet(MessageBoxes& boxes, EventPump* pump = nullptr)
      : os{files,   registry, internet,  boxes,   pump ? *pump : events, processes, screen,
           browser, windows,  clipboard, keyboard} {}
  Win32PlatformSet(const Win32PlatformSet&) = delete;
  Win32PlatformSet& operator=(const Win32PlatformSet&) = delete;

  Win32FileSystem files;
  Win32Registry registry;
  Win32Internet internet;
  Win32EventPump events;
  Win32Processes processes;
  Win32Screen screen;
  Win32FolderBrowser browser;
  Win32Windows windows;
  Win32Clipboard clipboard;
  Win32Keyboard keyboard;
  Platform os;
};

}  // namespace cvi::win32
