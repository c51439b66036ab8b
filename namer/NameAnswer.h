// What the provider's member 202 answers, kept apart from the automation plumbing of
// ImageNameProvider.cpp, which only passes the answer on.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

// Fills result with the next image name, or fails as an automation call does.
HRESULT AnswerNextName(VARIANT* result, EXCEPINFO* exception);

// Helpers for an answer: a text, or a failure with this code reported as an exception.
HRESULT AnswerText(VARIANT* result, const std::wstring& text);
HRESULT AnswerFailure(HRESULT code, EXCEPINFO* exception);
