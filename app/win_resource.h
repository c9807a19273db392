// Owning wrappers for Win32 handles, one move-only type per handle kind,
// each with the right "no handle" value and the right close call. Every
// handle the program opens lives in one of these, so it is closed on every
// path, exceptions included.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace orvix::win {

// A move-only owner of one handle value. Close is a function object type
// whose operator() releases a valid handle; Invalid is the "no handle" value.
template <typename Handle, typename Close, Handle Invalid = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle h) noexcept : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Handle get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Invalid; }
  Handle release() noexcept { return std::exchange(h_, Invalid); }
  void reset(Handle h = Invalid) noexcept {
    const Handle old = std::exchange(h_, h);
    if (old != Invalid) Close{}(old);
  }
  // For out-parameters: releases the current handle and hands out the slot.
  Handle* put() noexcept {
    reset();
    return &h_;
  }

 private:
  Handle h_ = Invalid;
};

struct CloseHandleFn {
  void operator()(HANDLE h) const noexcept { ::CloseHandle(h); }
};
struct DeleteObjectFn {
  void operator()(HGDIOBJ h) const noexcept { ::DeleteObject(h); }
};
struct DeleteDcFn {
  void operator()(HDC h) const noexcept { ::DeleteDC(h); }
};
struct DestroyWindowFn {
  void operator()(HWND h) const noexcept { ::DestroyWindow(h); }
};

// Thread, process, mutex and event handles: null means none.
using UniqueHandleNull = UniqueHandle<HANDLE, CloseHandleFn, nullptr>;
// File handles: INVALID_HANDLE_VALUE means none.
inline const HANDLE kInvalidFile = INVALID_HANDLE_VALUE;
struct UniqueFile {
  UniqueFile() = default;
  explicit UniqueFile(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  HANDLE get() const { return h_ ? h_.get() : INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return static_cast<bool>(h_); }

 private:
  UniqueHandleNull h_;
};
using UniqueFont = UniqueHandle<HFONT, DeleteObjectFn, nullptr>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteObjectFn, nullptr>;
using UniqueDc = UniqueHandle<HDC, DeleteDcFn, nullptr>;
using UniqueWindow = UniqueHandle<HWND, DestroyWindowFn, nullptr>;

// Selects a GDI object into a device context and puts the previous one back
// when it goes out of scope.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Runs a function when it goes out of scope, for the odd cleanup that has no
// handle type of its own.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() { f_(); }

 private:
  F f_;
};

// A failed Win32 call, with the GetLastError value taken at the call site.
class Win32Error : public std::runtime_error {
 public:
  Win32Error(const char* what, DWORD code);
  DWORD code() const noexcept { return code_; }

 private:
  DWORD code_;
};

// Throws Win32Error for a failed call, keeping GetLastError():
//   ThrowIfFalse(SomeCall(...), "SomeCall");
[[noreturn]] void ThrowLastError(const char* what);
template <typename T>
T ThrowIfFalse(T value, const char* what) {
  if (!value) ThrowLastError(what);
  return value;
}

// The system's message text for an error code, without the trailing line
// break.
std::string SystemMessage(DWORD code);

}  // namespace orvix::win
