#include "Global.h"

std::wstring AppTitle;
std::wstring AppVersion;
