// How the programs built without exceptions (CVInstall.exe, the self-extractor stand-in) end when
// the C++ runtime fails under them.
#pragma once

namespace cvi::win32 {

// Each program that links LeanRuntime.cpp defines the title and the opening words of its message.
extern const char kRuntimeFailureTitle[];
extern const char kRuntimeFailureText[];

// Shows the message followed by `what`, then ends the process with exit code 1. A failure on the
// thread that shows the message ends the process at once; on another thread it waits for the end.
[[noreturn]] void EndOnRuntimeFailure(const char* what) noexcept;

}  // namespace cvi::win32
