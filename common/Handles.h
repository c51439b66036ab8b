// Small owners for Win32 resources: each releases its resource exactly once,
// on every path out of the scope that holds it.
#pragma once

#include <windows.h>

#include <utility>

template <typename T, typename Traits>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T value) : value_(value) {}
  ~Owned() { reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : value_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }
  T release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(T value = Traits::Invalid()) {
    if (Traits::IsValid(value_)) Traits::Release(value_);
    value_ = value;
  }

 private:
  T value_ = Traits::Invalid();
};

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Release(HANDLE h) { CloseHandle(h); }
};
using UniqueHandle = Owned<HANDLE, KernelHandleTraits>;

struct FindTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE; }
  static void Release(HANDLE h) { FindClose(h); }
};
// A search of FindFirstFileW.
using UniqueFind = Owned<HANDLE, FindTraits>;

struct GdiObjectTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static bool IsValid(HGDIOBJ h) { return h != nullptr; }
  static void Release(HGDIOBJ h) { DeleteObject(h); }
};
using UniqueGdiObject = Owned<HGDIOBJ, GdiObjectTraits>;

struct WindowTraits {
  static HWND Invalid() { return nullptr; }
  static bool IsValid(HWND h) { return h != nullptr; }
  static void Release(HWND h) { DestroyWindow(h); }
};
using UniqueWindow = Owned<HWND, WindowTraits>;

struct MemoryDcTraits {
  static HDC Invalid() { return nullptr; }
  static bool IsValid(HDC h) { return h != nullptr; }
  static void Release(HDC h) { DeleteDC(h); }
};
using UniqueMemoryDc = Owned<HDC, MemoryDcTraits>;

// Selects a GDI object into a device context for one scope and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(dc_, previous_); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

struct LocalMemoryTraits {
  static HLOCAL Invalid() { return nullptr; }
  static bool IsValid(HLOCAL h) { return h != nullptr; }
  static void Release(HLOCAL h) { LocalFree(h); }
};
// Memory that a system function allocated for the caller with LocalAlloc.
using UniqueLocal = Owned<HLOCAL, LocalMemoryTraits>;

struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static bool IsValid(HMODULE h) { return h != nullptr; }
  static void Release(HMODULE h) { FreeLibrary(h); }
};
using UniqueModule = Owned<HMODULE, ModuleTraits>;
