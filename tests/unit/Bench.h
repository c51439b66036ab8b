// The bench's components as tests steer them: the virtual scanner's control file and call log,
// and the image name provider's test answers.
#pragma once

#include <windows.h>

#include <string>

// c:\windows\twain_32\, where the bench installs the virtual scanner.
std::wstring ScannerFolder();
void WriteScannerControl(const std::string& contents);
std::string ScannerCallLog();
// No scripted behaviour and an empty call log, with logging on.
void ResetScanner();
void RemoveScannerControl();

// The provider answers this text, this number, or fails with this HRESULT, until cleared.
void ProviderAnswersText(const std::wstring& text);
void ProviderAnswersNumber(DWORD number);
void ProviderFails(HRESULT failure);
void ClearProviderAnswers();
