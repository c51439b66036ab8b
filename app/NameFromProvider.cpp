#include "NameFromProvider.h"

#include <windows.h>
#include <oleauto.h>

#include "../common/AppError.h"
#include "../common/ComHandles.h"
#include "../common/WinText.h"

namespace {

// {59B72879-1F28-4C03-9A0C-515EF48D616B}
const CLSID ImageNameProviderClass = {0x59B72879, 0x1F28, 0x4C03, {0x9A, 0x0C, 0x51, 0x5E, 0xF4, 0x8D, 0x61, 0x6B}};
constexpr DISPID NextNameMember = 202;

AppError AutomationError(HRESULT result, const std::wstring& description = L"") {
  if (result == DISP_E_TYPEMISMATCH) return TypeMismatchError();
  if (result == DISP_E_OVERFLOW) return OverflowError();
  if (!description.empty()) return {static_cast<std::int32_t>(result), description};
  SetLastError(static_cast<DWORD>(result));
  AppError error = LastWin32Error();
  error.Number = static_cast<std::int32_t>(result);
  if (error.Description.empty()) error.Description = L"Automation error";
  return error;
}

}  // namespace

std::wstring NextImageName() {
  ComPtr<IDispatch> provider;
  HRESULT result = CoCreateInstance(ImageNameProviderClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                    IID_IDispatch, reinterpret_cast<void**>(provider.put()));
  if (FAILED(result)) throw AutomationError(result);

  DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
  Variant value;
  ExcepInfo exception;
  result = provider->Invoke(NextNameMember, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                            &noArguments, value.put(), exception.put(), nullptr);
  if (result == DISP_E_EXCEPTION) throw AutomationError(exception.code(), exception.description());
  if (FAILED(result)) throw AutomationError(result);

  Variant text;
  result = VariantChangeTypeEx(text.put(), value.put(), LOCALE_USER_DEFAULT, 0, VT_BSTR);
  if (FAILED(result)) throw AutomationError(result);
  return text.get().bstrVal ? std::wstring(text.get().bstrVal, SysStringLen(text.get().bstrVal)) : std::wstring();
}
