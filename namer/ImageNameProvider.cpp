// ImageNameProvider: an in-process automation server whose member 202 ("NextName") returns the
// next image name. What it answers is AnswerNextName's affair (NameAnswer.h); this file is the
// plumbing: the object, its class factory and its registration.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <string>

#include "NameAnswer.h"

namespace {

// {59B72879-1F28-4C03-9A0C-515EF48D616B}
const CLSID ProviderClass = {0x59B72879, 0x1F28, 0x4C03, {0x9A, 0x0C, 0x51, 0x5E, 0xF4, 0x8D, 0x61, 0x6B}};
// {3A4DC680-A3DA-4C10-8BA8-E563767EF8FD}
const IID ProviderInterface = {0x3A4DC680, 0xA3DA, 0x4C10, {0x8B, 0xA8, 0xE5, 0x63, 0x76, 0x7E, 0xF8, 0xFD}};
constexpr DISPID NextNameMember = 202;
const wchar_t ClassKey[] = L"CLSID\\{59B72879-1F28-4C03-9A0C-515EF48D616B}";
const wchar_t ProgIdKey[] = L"Zembrolite.ImageNameProvider";

HMODULE Module = nullptr;
std::atomic<long> LiveObjects{0};
std::atomic<long> ServerLocks{0};

class RegistryKey {
 public:
  RegistryKey(HKEY root, const wchar_t* path) {
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  explicit operator bool() const { return key_ != nullptr; }
  bool writeString(const wchar_t* name, const std::wstring& value) const {
    return key_ && RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

class Provider final : public IDispatch {
 public:
  Provider() { ++LiveObjects; }
  ~Provider() { --LiveObjects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == ProviderInterface) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      result = DISP_E_UNKNOWNNAME;
    }
    if (lstrcmpiW(names[0], L"NextName") == 0) {
      ids[0] = NextNameMember;
      result = count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    if (member != NextNameMember) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    if (parameters && parameters->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    return AnswerNextName(result, exception);
  }

 private:
  std::atomic<ULONG> references_{1};
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the module
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Provider* provider = new (std::nothrow) Provider();
    if (!provider) return E_OUTOFMEMORY;
    const HRESULT result = provider->QueryInterface(iid, object);
    provider->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++ServerLocks : --ServerLocks;
    return S_OK;
  }
};
Factory TheFactory;

std::wstring ModulePath() {
  wchar_t path[MAX_PATH * 2] = L"";
  GetModuleFileNameW(Module, path, MAX_PATH * 2);
  return path;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    Module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (classId != ProviderClass) return CLASS_E_CLASSNOTAVAILABLE;
  return TheFactory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return LiveObjects == 0 && ServerLocks == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  RegistryKey classKey(HKEY_CLASSES_ROOT, ClassKey);
  RegistryKey server(HKEY_CLASSES_ROOT, (std::wstring(ClassKey) + L"\\InprocServer32").c_str());
  RegistryKey progId(HKEY_CLASSES_ROOT, (std::wstring(ClassKey) + L"\\ProgID").c_str());
  RegistryKey name(HKEY_CLASSES_ROOT, ProgIdKey);
  RegistryKey nameClass(HKEY_CLASSES_ROOT, (std::wstring(ProgIdKey) + L"\\CLSID").c_str());
  const bool written = classKey.writeString(nullptr, L"Zembrolite ImageNameProvider") &&
                       server.writeString(nullptr, ModulePath()) &&
                       server.writeString(L"ThreadingModel", L"Apartment") &&
                       progId.writeString(nullptr, L"Zembrolite.ImageNameProvider") &&
                       name.writeString(nullptr, L"Zembrolite ImageNameProvider") &&
                       nameClass.writeString(nullptr, L"{59B72879-1F28-4C03-9A0C-515EF48D616B}");
  return written ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, ProgIdKey);
  return S_OK;
}

HRESULT AnswerText(VARIANT* result, const std::wstring& text) {
  if (!result) return S_OK;
  VariantInit(result);
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return result->bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT AnswerFailure(HRESULT code, EXCEPINFO* exception) {
  if (!exception) return code;
  ZeroMemory(exception, sizeof *exception);
  exception->scode = code;
  exception->bstrSource = SysAllocString(L"Zembrolite.ImageNameProvider");
  exception->bstrDescription = SysAllocString(L"No image name could be made.");
  return DISP_E_EXCEPTION;
}
