// The C++ runtime's error paths for the programs built without exceptions.
//
// Nothing in these programs throws, and nothing could catch: when the runtime itself fails (memory
// runs out, a precondition of the library is broken) the process ends with a message that names
// the failure. The library's own versions would throw, and so bring the unwinder, the exception
// classes and the terminate handler's name demangler into a program that cannot use them. Should
// a program come to need another helper of the library's set, the linker names it as defined
// twice.
#include "platform/win32/LeanRuntime.h"

#include <windows.h>

#include <cstdlib>
#include <initializer_list>
#include <new>
#include <string>

namespace cvi::win32 {

void EndOnRuntimeFailure(const char* what) noexcept {
  // The message box dispatches window messages, which may fail again on the same thread.
  static LONG reporter = 0;
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  const LONG first = InterlockedCompareExchange(&reporter, self, 0);
  if (first == 0) {
    // No allocation: memory may be what ran out.
    char text[512];
    std::size_t length = 0;
    for (const char* part : {kRuntimeFailureText, what}) {
      for (; *part != '\0' && length + 1 < sizeof text; ++part)
        text[length++] = *part;
    }
    text[length] = '\0';
    MessageBoxA(nullptr, text, kRuntimeFailureTitle, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  } else if (first != self) {
    Sleep(INFINITE);
  }
  ExitProcess(1);
}

}  // namespace cvi::win32

using cvi::win32::EndOnRuntimeFailure;

// The string class for these programs, compiled as they are. The library's own copy was compiled
// with exceptions, and would bring the unwinder and its tables along.
template class std::basic_string<char>;

// Function-local statics are initialised once, also when threads meet there. The library's guards
// report a recursive initialisation by throwing; these end the process instead. The guard's first
// byte says "initialised" (the compiler's own test reads it), its second word holds the thread
// that initialises.
extern "C" int __cxa_guard_acquire(long long* guard) {
  auto* words = reinterpret_cast<volatile LONG*>(guard);
  const LONG self = static_cast<LONG>(GetCurrentThreadId());
  for (;;) {
    if (InterlockedCompareExchange(&words[0], 0, 0) != 0)
      return 0;
    const LONG owner = InterlockedCompareExchange(&words[1], self, 0);
    if (owner == 0) {
      if (InterlockedCompareExchange(&words[0], 0, 0) == 0)
        return 1;
      InterlockedExchange(&words[1], 0);
      return 0;
    }
    if (owner == self)
      EndOnRuntimeFailure("recursive initialisation of a static");
    Sleep(0);
  }
}

extern "C" void __cxa_guard_release(long long* guard) {
  auto* words = reinterpret_cast<volatile LONG*>(guard);
  InterlockedExchange(&words[0], 1);
  InterlockedExchange(&words[1], 0);
}

extern "C" void __cxa_guard_abort(long long* guard) {
  InterlockedExchange(&reinterpret_cast<volatile LONG*>(guard)[1], 0);
}

void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size != 0 ? size : 1))
    return memory;
  EndOnRuntimeFailure("out of memory");
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}

namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() {
  EndOnRuntimeFailure("out of memory");
}
void __throw_bad_array_new_length() {
  EndOnRuntimeFailure("out of memory");
}
void __throw_length_error(const char* what) {
  EndOnRuntimeFailure(what);
}
void __throw_logic_error(const char* what) {
  EndOnRuntimeFailure(what);
}
void __throw_out_of_range_fmt(const char* format, ...) {
  EndOnRuntimeFailure(format);
}
void __throw_bad_function_call() {
  EndOnRuntimeFailure("bad function call");
}
}  // namespace std
