// The automation component that names every new image.
#pragma once

#include <string>

// Creates the provider, calls its member 202 once and releases it; the result as text.
// Raises AppError with the automation error's (negative) number and its description.
std::wstring NextImageName();
