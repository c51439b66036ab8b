// Turns the packed DIB of a native transfer into a .bmp file. The file is written under a
// temporary name in the target folder and only then put in place of any old file, so a failed
// write never costs the old image and never leaves a partial file.
#include "BmpWriter.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

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

// What follows the file header: the packed DIB's bytes, written into the open file.
using DibWriter = std::function<bool(HANDLE file)>;

bool WriteBmpFile(const std::wstring& path, const std::uint8_t (&fileHeader)[BitmapFileHeaderBytes],
                  const DibWriter& writeDib) {
  UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  return WriteAll(file.get(), fileHeader, sizeof fileHeader) && writeDib(file.get()) && FlushFileBuffers(file.get());
}

// Notes why the file is not there, with the error of the step that failed.
std::int32_t NotSaved(const std::wstring& path) {
  NotePressFailure(static_cast<std::int32_t>(GetLastError()), L"The image could not be saved as " + path + L".");
  return 1;
}

std::int32_t NoBitmap() {
  NotePressFailure(ERROR_INVALID_DATA, L"The source handed over an image that is no bitmap a .bmp file can hold.");
  return 1;
}

// Into the prepared file, or through a temporary file beside path into its place.
std::int32_t SaveBmp(const std::uint8_t (&fileHeader)[BitmapFileHeaderBytes], const DibWriter& writeDib,
                     const std::wstring& preparedFile, const std::wstring& path) {
  if (!preparedFile.empty()) return WriteBmpFile(preparedFile, fileHeader, writeDib) ? 0 : NotSaved(path);
  TemporaryImageFile temporary(FolderOf(path));
  if (temporary.path().empty()) return NotSaved(path);
  if (!WriteBmpFile(temporary.path(), fileHeader, writeDib)) return NotSaved(path);
  if (!PutImageInPlace(temporary.path(), path)) return NotSaved(path);
  temporary.keep();
  return 0;
}

std::int32_t WriteLockedDib(const std::uint8_t* dib, SIZE_T blockSize, const std::wstring& preparedFile,
                            const std::wstring& path) {
  DibLayout layout = {};
  std::uint8_t fileHeader[BitmapFileHeaderBytes];
  // The header's sizes are trusted only as far as the block really reaches.
  if (blockSize < static_cast<SIZE_T>(BitmapInfoHeaderBytes) || !ComputeDibLayout(dib, layout) ||
      static_cast<SIZE_T>(layout.dibSize) > blockSize || !BuildFileHeader(layout, fileHeader))
    return NoBitmap();
  // Written straight from the locked block: saving needs no second copy of the image.
  return SaveBmp(
      fileHeader, [&](HANDLE file) { return WriteAll(file, dib, static_cast<size_t>(layout.dibSize)); }, preparedFile,
      path);
}

std::int32_t WriteDib(UniqueTwainMemory owned, const std::wstring& preparedFile, const std::wstring& path) {
  return Guarded([&] {
    if (path.empty() || !owned) return 1;
    TwainMemoryLock lock(owned.get());
    if (!lock.get()) {
      NotePressFailure(static_cast<std::int32_t>(GetLastError()),
                       L"The source handed over an image the program cannot read: its memory cannot be locked.");
      return 1;
    }
    return WriteLockedDib(static_cast<const std::uint8_t*>(lock.get()), GlobalSize(owned.get()), preparedFile, path);
  });
}

// The header and colour table of the packed DIB that holds a DIB section's picture bottom-up, as
// a source that hands over packed DIBs gives it; false for a section no .bmp file holds as it is.
bool PackedHeaderOf(HBITMAP bitmap, const DIBSECTION& section, std::vector<std::uint8_t>& header) {
  BITMAPINFOHEADER info = section.dsBmih;
  if (!section.dsBm.bmBits || (info.biCompression != BI_RGB && info.biCompression != BI_BITFIELDS)) return false;
  info.biSize = sizeof info;
  info.biHeight = section.dsBm.bmHeight;
  info.biSizeImage = static_cast<DWORD>(section.dsBm.bmWidthBytes) * static_cast<DWORD>(section.dsBm.bmHeight);
  RGBQUAD colours[256];
  UINT colourCount = 0;
  if (info.biBitCount <= 8) {
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    SelectedObject selected(dc.get(), bitmap);
    colourCount = GetDIBColorTable(dc.get(), 0, 1u << info.biBitCount, colours);
    if (colourCount == 0) return false;
    info.biClrUsed = colourCount;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&info);
  header.assign(bytes, bytes + sizeof info);
  if (info.biCompression == BI_BITFIELDS) {
    bytes = reinterpret_cast<const std::uint8_t*>(section.dsBitfields);
    header.insert(header.end(), bytes, bytes + sizeof section.dsBitfields);
  }
  bytes = reinterpret_cast<const std::uint8_t*>(colours);
  header.insert(header.end(), bytes, bytes + colourCount * sizeof(RGBQUAD));
  return true;
}

// The rows of a section, the picture's bottom row first, in pieces through GDI, which knows the
// section's own order of rows (Wine reports a top-down section's height as positive), so that no
// second copy of the image is needed.
bool WriteRowsBottomUp(HANDLE file, HBITMAP bitmap, const std::vector<std::uint8_t>& header, std::uint32_t stride,
                       std::uint32_t rows) {
  std::vector<std::uint8_t> asked(header);
  asked.resize(sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD) + 256 * sizeof(RGBQUAD));  // room for what GDI adds
  const std::uint32_t band = std::max<std::uint32_t>(1, WriteChunkBytes / stride);
  std::vector<std::uint8_t> piece(static_cast<size_t>(std::min(band, rows)) * stride);
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  for (std::uint32_t first = 0; first < rows; first += band) {
    const std::uint32_t lines = std::min(band, rows - first);
    if (GetDIBits(dc.get(), bitmap, first, lines, piece.data(), reinterpret_cast<BITMAPINFO*>(asked.data()),
                  DIB_RGB_COLORS) != static_cast<int>(lines) ||
        !WriteAll(file, piece.data(), static_cast<size_t>(lines) * stride))
      return false;
  }
  return true;
}

std::int32_t WriteSection(UniqueGdiObject owned, const std::wstring& preparedFile, const std::wstring& path) {
  return Guarded([&] {
    if (path.empty() || !owned) return 1;
    const auto bitmap = static_cast<HBITMAP>(owned.get());
    DIBSECTION section = {};
    std::vector<std::uint8_t> header;
    DibLayout layout = {};
    std::uint8_t fileHeader[BitmapFileHeaderBytes];
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || !PackedHeaderOf(bitmap, section, header) ||
        !ComputeDibLayout(header.data(), layout) || BitmapInfoHeaderBytes + layout.colourTableBytes != header.size() ||
        layout.rowStride != static_cast<std::uint32_t>(section.dsBm.bmWidthBytes) ||
        !BuildFileHeader(layout, fileHeader))
      return NoBitmap();
    return SaveBmp(
        fileHeader,
        [&](HANDLE file) {
          return WriteAll(file, header.data(), header.size()) &&
                 WriteRowsBottomUp(file, bitmap, header, layout.rowStride, layout.pixelBytes / layout.rowStride);
        },
        preparedFile, path);
  });
}

std::int32_t WriteImage(NativeImage& image, const std::wstring& preparedFile, const std::wstring& path) {
  // From here the image is the writer's: freed on every way out, the caller's emptied.
  NativeImage owned = std::move(image);
  if (owned.section) return WriteSection(std::move(owned.section), preparedFile, path);
  return WriteDib(std::move(owned.dib), preparedFile, path);
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

std::int32_t WriteDibToBmp(HGLOBAL& image, const std::wstring& path) {
  NativeImage taken;
  taken.dib.reset(std::exchange(image, nullptr));
  return WriteImage(taken, L"", path);
}

std::int32_t WriteImageToBmp(NativeImage& image, const std::wstring& path) { return WriteImage(image, L"", path); }

std::int32_t WriteImageIntoFile(NativeImage& image, const std::wstring& preparedFile, const std::wstring& path) {
  return WriteImage(image, preparedFile, path);
}
