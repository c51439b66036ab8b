// Owners for COM objects and automation values: released or cleared on every path.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

// COM and OLE for the calling thread, as a single-threaded apartment, for one scope.
class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~ComApartment() {
    if (initialized_) OleUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_;
};

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  Interface** put() {
    reset();
    return &pointer_;
  }
  void reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* put() { return &value_; }
  const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};

class ExcepInfo {
 public:
  ExcepInfo() { ZeroMemory(&info_, sizeof info_); }
  ~ExcepInfo() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
  }
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;

  EXCEPINFO* put() { return &info_; }
  HRESULT code() {
    if (info_.pfnDeferredFillIn) info_.pfnDeferredFillIn(&info_);
    return info_.scode ? info_.scode : (info_.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, info_.wCode) : E_FAIL);
  }
  std::wstring description() const {
    return info_.bstrDescription ? std::wstring(info_.bstrDescription, SysStringLen(info_.bstrDescription))
                                 : std::wstring();
  }

 private:
  EXCEPINFO info_;
};
