// Small stand-ins for the C++ runtime's error paths, linked into CVInstall.exe only.
//
// The library's own versions pull in most of the program's size: the terminate handler brings the
// name demangler to print a message that a GUI program has nowhere to show, and the helpers that
// throw the standard logic errors bring a second, copy-on-write string class with them. These
// throw or end the same way; every handler in the program catches whatever is thrown. Should the
// program come to need another helper of the library's set, the linker names it as defined twice.
#include <cstdlib>
#include <exception>
#include <new>

namespace {

class RuntimeError : public std::exception {
 public:
  explicit RuntimeError(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;
};

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() {
  throw std::bad_alloc();
}
void __throw_length_error(const char* what) {
  throw RuntimeError(what);
}
void __throw_logic_error(const char* what) {
  throw RuntimeError(what);
}
void __throw_out_of_range_fmt(const char* format, ...) {
  throw RuntimeError(format);
}
void __throw_bad_function_call() {
  throw RuntimeError("bad function call");
}
}  // namespace std
