// Asks the station's name sequence in a given store folder for many names in a row and writes
// them to a file, one a line: a second program for the tests of the machine-wide sequence.
//   NameBurst <store folder> <count> <output file>
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../namer/StationNames.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  StationNameSetup setup = StationSetup();
  setup.storeFolder = argv[1];
  std::string names;
  for (int i = _wtoi(argv[2]); i > 0; --i) {
    const std::wstring name = NextStationName(setup);
    names += std::string(name.begin(), name.end()) + "\n";
  }
  FILE* out = _wfopen(argv[3], L"wb");
  if (!out) return 1;
  const bool written = std::fwrite(names.data(), 1, names.size(), out) == names.size();
  return std::fclose(out) == 0 && written ? 0 : 1;
}
