// Turns the packed DIB of a native transfer into a .bmp file. The file is written under a
// temporary name in the target folder and only then put in place of any old file, so a failed
// write never costs the old image and never leaves a partial file.
#include "BmpWriter.h"

#include <cstring>
#include <utility>

#include "BmpLayout.h"
#include "ImageFile.h"
#include "../twain/Guarded.h"
#include "../twain/PressFailure.h"
#include "../twain/TwainMemory.h"
#include "../twain/mdlTwain.h"

namespace {

// Large blocks go to the file in pieces; some network drives refuse huge single writes.
constexpr DWORD WriteChunkBytes = 16 * 1024 * 1024;

bool WriteAll(HANDLE file, const std::uint8_t* data, size_t length) {
  while (length > 0) {
    const DWORD piece = length > WriteChunkBytes ? WriteChunkBytes : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(file, data, piece, &written, nullptr)) return false;
    if (written != piece) {
      SetLastError(ERROR_DISK_FULL);  // a write that stops short has met the end of the disk
      return false;
    }
    data += piece;
    length -= piece;
  }
  return true;
}

bool WriteBmpFile(const std::wstring& path, const std::uint8_t (&fileHeader)[BitmapFileHeaderBytes],
                  const std::uint8_t* dib, size_t dibSize) {
  UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  return WriteAll(file.get(), fileHeader, sizeof fileHeader) && WriteAll(file.get(), dib, dibSize) &&
         FlushFileBuffers(file.get());
}

// Notes why the file is not there, with the error of the step that failed.
std::int32_t NotSaved(const std::wstring& path) {
  NotePressFailure(static_cast<std::int32_t>(GetLastError()), L"The image could not be saved as " + path + L".");
  return 1;
}

std::int32_t WriteLockedDib(const std::uint8_t* dib, SIZE_T blockSize, const std::wstring& preparedFile,
                            const std::wstring& path) {
  DibLayout layout = {};
  std::uint8_t fileHeader[BitmapFileHeaderBytes];
  // The header's sizes are trusted only as far as the block really reaches.
  if (blockSize < static_cast<SIZE_T>(BitmapInfoHeaderBytes) || !ComputeDibLayout(dib, layout) ||
      static_cast<SIZE_T>(layout.dibSize) > blockSize || !BuildFileHeader(layout, fileHeader)) {
    NotePressFailure(ERROR_INVALID_DATA, L"The source handed over an image that is no bitmap a .bmp file can hold.");
    return 1;
  }

  if (!preparedFile.empty())
    return WriteBmpFile(preparedFile, fileHeader, dib, static_cast<size_t>(layout.dibSize)) ? 0 : NotSaved(path);
  TemporaryImageFile temporary(FolderOf(path));
  if (temporary.path().empty()) return NotSaved(path);
  if (!WriteBmpFile(temporary.path(), fileHeader, dib, static_cast<size_t>(layout.dibSize))) return NotSaved(path);
  if (!PutImageInPlace(temporary.path(), path)) return NotSaved(path);
  temporary.keep();
  return 0;
}

std::int32_t WriteDib(HGLOBAL& image, const std::wstring& preparedFile, const std::wstring& path) {
  // From here the handle is ours: released on every way out, the caller's variable cleared.
  UniqueTwainMemory owned(std::exchange(image, nullptr));
  return Guarded([&] {
    if (path.empty() || !owned) return 1;
    TwainMemoryLock lock(owned.get());
    if (!lock.get()) return 1;
    // Written straight from the locked block: saving needs no second copy of the image.
    return WriteLockedDib(static_cast<const std::uint8_t*>(lock.get()), GlobalSize(owned.get()), preparedFile, path);
  });
}

}  // namespace

TemporaryImageFile::TemporaryImageFile(const std::wstring& folder) {
  wchar_t name[MAX_PATH];
  if (GetTempFileNameW(folder.c_str(), L"zbm", 0, name) != 0) path_ = name;
}

TemporaryImageFile::~TemporaryImageFile() {
  if (!path_.empty()) DeleteFileW(path_.c_str());
}

void RemoveLeftoverImageFiles(const std::wstring& folder) {
  constexpr ULONGLONG LeftoverAge = 10ULL * 60 * 10000000;  // in 100 ns
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG current = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW((folder + L"zbm*.tmp").c_str(), &found));
  for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &found) != FALSE) {
    const ULONGLONG written =
        (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && current > written + LeftoverAge)
      DeleteFileW((folder + found.cFileName).c_str());
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring::npos) return path.substr(0, separator + 1);
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return L".";
}

// Puts the finished file in place of whatever file is at path, read-only, hidden and system
// files included. On failure the old file keeps its content and its attributes.
bool PutImageInPlace(const std::wstring& finished, const std::wstring& path) {
  const DWORD oldAttributes = GetFileAttributesW(path.c_str());
  const bool oldFile = oldAttributes != INVALID_FILE_ATTRIBUTES && !(oldAttributes & FILE_ATTRIBUTE_DIRECTORY);
  const DWORD protective = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (oldFile && (oldAttributes & protective)) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (MoveFileExW(finished.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  if (oldFile && (oldAttributes & protective)) SetFileAttributesW(path.c_str(), oldAttributes);
  return false;
}

std::int32_t WriteDibToBmp(HGLOBAL& image, const std::wstring& path) { return WriteDib(image, L"", path); }

std::int32_t WriteDibIntoFile(HGLOBAL& image, const std::wstring& preparedFile, const std::wstring& path) {
  return WriteDib(image, preparedFile, path);
}
