#include "ModuleNames.h"

#include "FixedText.h"
#include "VersionBlock.h"

namespace {

// Copies into the caller's buffer, cut to fit.
template <typename Text>
void CopyOut(const Text& text, wchar_t* out, std::size_t capacity) {
  if (capacity == 0) return;
  std::size_t i = 0;
  for (; i + 1 < capacity && i < text.size(); ++i) out[i] = text.c_str()[i];
  out[i] = L'\0';
}

}  // namespace

HMODULE ModuleAt(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return nullptr;
  return module;
}

void ModuleFileName(HMODULE module, wchar_t* name, std::size_t capacity) {
  wchar_t path[MAX_PATH * 2] = L"";
  const DWORD length = module ? GetModuleFileNameW(module, path, MAX_PATH * 2) : 0;
  DWORD start = length;
  while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/') --start;
  CopyOut(FixedText<MAX_PATH>(path + start), name, capacity);
}

void ModuleNote(HMODULE module, wchar_t* note, std::size_t capacity) {
  CopyOut(FixedText<1>(), note, capacity);
  HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16)) : nullptr;
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* block = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  if (!block) return;
  const DWORD size = SizeofResource(module, found);
  wchar_t file[MAX_PATH] = L"";
  ModuleFileName(module, file, MAX_PATH);
  FixedText<MAX_PATH> original, version;
  AppendVersionString(original, block, size, u"OriginalFilename");
  AppendVersionString(version, block, size, u"FileVersion");
  const bool namesAnother = original.size() > 0 && lstrcmpiW(original.c_str(), file) != 0;
  if (!namesAnother && version.size() == 0) return;
  FixedText<MAX_PATH * 2> text(L" (");
  if (namesAnother) {
    text.append(original.c_str());
    if (version.size() > 0) text.append(L" ");
  }
  text.append(version.c_str());
  text.append(L")");
  CopyOut(text, note, capacity);
}
