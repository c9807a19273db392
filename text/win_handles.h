// Owning wrappers for Win32 resources, one move-only type per kind, each
// with the right "no handle" value and the right release call. Every handle,
// COM reference, GDI object or scope the program opens lives in one of
// these, so it is released exactly once on every path, exceptions included.
//
// This is the lowest Windows header of the program: it includes only system
// headers, and everything above (net, quota, tasks, app, the Windows tests
// and tools) builds on it.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <objbase.h>

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
struct LocalFreeFn {
  void operator()(HLOCAL h) const noexcept { ::LocalFree(h); }
};
struct InternetCloseFn {
  void operator()(HINTERNET h) const noexcept { ::InternetCloseHandle(h); }
};

// Thread, process, mutex and event handles: null means none.
using UniqueHandleNull = UniqueHandle<HANDLE, CloseHandleFn, nullptr>;
// File handles: INVALID_HANDLE_VALUE means none.
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
// Memory the system allocated for us with LocalAlloc (FormatMessage buffers).
using UniqueLocal = UniqueHandle<HLOCAL, LocalFreeFn, nullptr>;
// Internet, connection and request handles of WinInet.
using UniqueInternet = UniqueHandle<HINTERNET, InternetCloseFn, nullptr>;

// A window's (or, for nullptr, the screen's) device context from GetDC,
// released with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  WindowDc(WindowDc&& other) noexcept : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&&) = delete;
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }

  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

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

// One counted reference to a COM object: released once, moved not copied.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already holds (an out-parameter).
  explicit ComPtr(T* p) noexcept : p_(p) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T* release() noexcept { return std::exchange(p_, nullptr); }
  void reset(T* p = nullptr) noexcept {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // For out-parameters of creation calls.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

// COM for the calling thread for the scope's life: CoInitialize, and
// CoUninitialize only when that succeeded (S_FALSE included, as COM asks).
class ComScope {
 public:
  ComScope() noexcept : hr_(::CoInitialize(nullptr)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  bool ok() const noexcept { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

// GDI+ for the process for the scope's life: version 1, no debug callback,
// background thread and outside codecs not suppressed. Shut down only when
// the start-up succeeded.
class GdiplusScope {
 public:
  GdiplusScope() noexcept;
  GdiplusScope(const GdiplusScope&) = delete;
  GdiplusScope& operator=(const GdiplusScope&) = delete;
  ~GdiplusScope();
  bool ok() const noexcept { return token_ != 0; }

 private:
  ULONG_PTR token_ = 0;
};

// A failed Win32 call, with the GetLastError value taken at the call site.
class Win32Error : public std::runtime_error {
 public:
  Win32Error(const char* what, DWORD code);
  DWORD code() const noexcept { return code_; }

 private:
  DWORD code_;
};

// Throws Win32Error for the call that just failed, keeping GetLastError():
//   if (!SomeCall(...)) ThrowLastError("SomeCall");
[[noreturn]] void ThrowLastError(const char* what);

// The system's message text for an error code (a Win32 error or an
// HRESULT), UTF-8, without trailing line breaks, spaces or full stop; "System
// error N" when the system has no text for it.
std::string SystemMessage(DWORD code);

}  // namespace orvix::win
