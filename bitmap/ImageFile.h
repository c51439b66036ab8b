// The image file's way into place: written under a temporary name in the target folder, then put
// in place of any old file, so that a failed write never costs the old image and never leaves a
// partial file.
#pragma once

#include <windows.h>

#include <string>

// A new empty file of a unique name in the folder, deleted unless it has been put in place.
class TemporaryImageFile {
 public:
  explicit TemporaryImageFile(const std::wstring& folder);
  ~TemporaryImageFile();
  TemporaryImageFile(const TemporaryImageFile&) = delete;
  TemporaryImageFile& operator=(const TemporaryImageFile&) = delete;

  const std::wstring& path() const { return path_; }  // empty when none could be made
  void keep() { path_.clear(); }

 private:
  std::wstring path_;
};

// Deletes the temporary image files in the folder that a program killed while it saved has left:
// those not written to for ten minutes that nobody holds open. A press may take longer only while
// its file is still empty, and its worker then makes it anew.
void RemoveLeftoverImageFiles(const std::wstring& folder);

// The folder of a file's path, ending with its separator.
std::wstring FolderOf(const std::wstring& path);

// Puts the finished file in place of whatever file is at path, read-only, hidden and system
// files included. On failure the old file keeps its content and its attributes.
bool PutImageInPlace(const std::wstring& finished, const std::wstring& path);
