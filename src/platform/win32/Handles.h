// One small owner per kind of Win32 handle, so that every handle is closed on every path.
#pragma once

#include <windows.h>

namespace cvi::win32 {

// Owns one handle of the kind that Traits describes: its type, its empty value and how it closes.
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other)
      Reset(other.Release());
    return *this;
  }

  Type Get() const { return handle_; }
  bool Valid() const { return handle_ != Traits::Empty(); }
  explicit operator bool() const { return Valid(); }
  Type Release() {
    Type handle = handle_;
    handle_ = Traits::Empty();
    return handle;
  }
  void Reset(Type handle = Traits::Empty()) {
    if (Valid())
      Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Type handle_ = Traits::Empty();
};

// Kernel objects whose failure value is null: timers, processes, threads.
struct KernelObjectTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelObjectTraits>;

// File handles, whose failure value is INVALID_HANDLE_VALUE.
struct FileTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
using FileHandle = UniqueHandle<FileTraits>;

struct FindTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindClose(h); }
};
using FindHandle = UniqueHandle<FindTraits>;

struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { DeleteObject(h); }
};
using GdiObject = UniqueHandle<GdiObjectTraits>;

struct WindowTraits {
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { DestroyWindow(h); }
};
using WindowHandle = UniqueHandle<WindowTraits>;

// A device context taken with GetDC and given back with ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDC() {
    if (dc_)
      ReleaseDC(hwnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// A memory device context made with CreateCompatibleDC.
struct MemoryDCTraits {
  using Type = HDC;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { DeleteDC(h); }
};
using MemoryDC = UniqueHandle<MemoryDCTraits>;

// Selects a GDI object into a device context for one scope and puts the old one back.
class SelectIn {
 public:
  SelectIn(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectIn() {
    if (old_ && old_ != HGDI_ERROR)
      SelectObject(dc_, old_);
  }
  SelectIn(const SelectIn&) = delete;
  SelectIn& operator=(const SelectIn&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace cvi::win32
