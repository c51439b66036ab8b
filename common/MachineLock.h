// Machine-wide locks: named mutexes in the global namespace that every program of every user of
// the station may take, and the security attributes made from a descriptor string that they and
// shared folders are created with.
#pragma once

#include <windows.h>
#include <sddl.h>

#include "Handles.h"

// Every user may take a machine-wide lock (SYNCHRONIZE | MUTEX_MODIFY_STATE); only the system and
// administrators may do more.
constexpr wchar_t MachineLockRights[] = L"D:(A;;0x1F0001;;;SY)(A;;0x1F0001;;;BA)(A;;0x100001;;;WD)";

// Security attributes made from a descriptor string; without it the object gets the defaults.
class SecurityFromText {
 public:
  explicit SecurityFromText(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
      descriptor_.reset(descriptor);
    attributes_ = {sizeof attributes_, descriptor_.get(), FALSE};
  }
  SecurityFromText(const SecurityFromText&) = delete;
  SecurityFromText& operator=(const SecurityFromText&) = delete;
  SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  UniqueLocal descriptor_;
  SECURITY_ATTRIBUTES attributes_{};
};

// Holds a machine-wide lock for one scope, once taken within the timeout. A lock abandoned by a
// program that ended while holding it is taken all the same. Taking it allocates nothing: the
// name and the security attributes (for a lock that does not exist yet) are the caller's.
class MachineLock {
 public:
  MachineLock(const wchar_t* name, SECURITY_ATTRIBUTES* rights, DWORD timeoutMs) {
    mutex_.reset(CreateMutexW(rights, FALSE, name));
    if (!mutex_) mutex_.reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name));
    if (!mutex_) return;
    const DWORD waited = WaitForSingleObject(mutex_.get(), timeoutMs);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~MachineLock() {
    if (held_) ReleaseMutex(mutex_.get());
  }
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;
  bool held() const { return held_; }

 private:
  UniqueHandle mutex_;
  bool held_ = false;
};
