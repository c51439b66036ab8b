// The bench's components as tests steer them: the virtual scanner's control file and call log,
// and the image name provider's test answers.
#pragma once

#include <windows.h>

#include <string>

// Where the bench installs the virtual scanner as sane.ds: c:\windows\twain_32\ (twain_64 for a
// 64-bit build).
std::wstring ScannerFolder();
void WriteScannerControl(const std::string& contents);
std::string ScannerCallLog();
// No scripted behaviour and an empty call log, with logging on.
void ResetScanner();
void RemoveScannerControl();

// The provider answers this text, or fails with this HRESULT, until cleared.
void ProviderAnswersText(const std::wstring& text);
void ProviderFails(HRESULT failure);
void ClearProviderAnswers();
