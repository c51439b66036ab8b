#include "ValueText.h"

std::wstring Int16ToText(std::int16_t value) { return std::to_wstring(value); }

std::wstring TruthToText(std::int16_t value) { return value != 0 ? L"True" : L"False"; }
