#!/usr/bin/env bash
# Configures and builds both editions of Zembrolite (x86 and x64) with their packages and test
# programs, and the native checks.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZEMBROLITE_BUILD:-$root/build}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j "$jobs"

# The x64 edition of the same sources, beside it.
cmake -S "$root" -B "$build/x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DZEMBROLITE_WORKER32="$build/bin/ZembroliteScan32.exe" >/dev/null
cmake --build "$build/x64" -j "$jobs"

# The logic without Win32, built natively with AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S "$root" -B "$build/native" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DZEMBROLITE_SANITIZE=ON >/dev/null
cmake --build "$build/native" -j "$jobs"

# The libFuzzer targets, with the same sanitizers.
cmake -S "$root" -B "$build/fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DZEMBROLITE_SANITIZE=ON -DZEMBROLITE_FUZZ=ON >/dev/null
cmake --build "$build/fuzz" -j "$jobs" --target FuzzBmpLayout FuzzText FuzzConversions
