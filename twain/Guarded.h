// Status procedures let no error escape: anything thrown inside ends in status 1.
#pragma once

#include <cstdint>

template <typename Procedure>
std::int32_t Guarded(Procedure procedure) noexcept {
  try {
    return procedure();
  } catch (...) {
    return 1;
  }
}
