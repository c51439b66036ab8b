#include "BrowseForFolder.h"

#include <windows.h>
#include <shlobj.h>

#include "../common/WinText.h"

namespace {

// The identifier list that the browser returns, freed with the task allocator.
class ItemIdList {
 public:
  explicit ItemIdList(LPITEMIDLIST list) : list_(list) {}
  ~ItemIdList() {
    if (list_) CoTaskMemFree(list_);
  }
  ItemIdList(const ItemIdList&) = delete;
  ItemIdList& operator=(const ItemIdList&) = delete;
  LPCITEMIDLIST get() const { return list_; }

 private:
  LPITEMIDLIST list_;
};

}  // namespace

std::wstring BrowseForFolder(const std::wstring& prompt) {
  const std::string title = ToAnsi(prompt);  // valid until the browser returns
  BROWSEINFOA request = {};
  request.hwndOwner = GetActiveWindow();
  request.pidlRoot = nullptr;
  request.pszDisplayName = nullptr;
  request.lpszTitle = title.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS;
  request.lpfn = nullptr;
  request.lParam = 0;
  request.iImage = 0;

  std::wstring path;
  {
    ItemIdList chosen(SHBrowseForFolderA(&request));
    if (!chosen.get()) return L"";
    char buffer[MAX_PATH] = {};
    SHGetPathFromIDListA(chosen.get(), buffer);
    path = FromAnsi(std::string(buffer, MAX_PATH));
  }  // the list is freed right after the conversion
  const size_t end = path.find(L'\0');
  if (end != std::wstring::npos) path.resize(end);
  return path;
}
