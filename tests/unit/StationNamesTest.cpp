// The station's name sequence on disk under Wine: a record shared by threads and programs, names
// that cannot collide when it cannot be kept.
#include "../../namer/StationNames.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <winternl.h>

#include "../../common/Handles.h"
#include "TestFolders.h"

namespace {

const std::wregex SequenceForm(L"\\d{8}-[0-9A-Z_-]+-([0-9A-Z]{6})-(\\d{4,})");
const std::wregex FallbackForm(L"\\d{8}-[0-9A-Z_-]+-\\d{9}-[0-9A-Z]{8}");

std::wstring SequenceOf(const std::wstring& name) {
  std::wsmatch match;
  return std::regex_match(name, match, SequenceForm) ? match[1].str() : L"<not a sequence name>";
}

// Where an object lives in the kernel's namespace, as the kernel names it.
std::wstring KernelName(HANDLE object) {
  const auto query = reinterpret_cast<NTSTATUS(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  alignas(UNICODE_STRING) unsigned char buffer[1024];
  ULONG size = 0;
  if (!query || query(object, 1 /* ObjectNameInformation */, buffer, sizeof buffer, &size) != 0) return L"";
  const auto& name = *reinterpret_cast<const UNICODE_STRING*>(buffer);
  return std::wstring(name.Buffer, name.Length / sizeof(wchar_t));
}

class StationNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setup = StationSetup();
    setup.storeFolder = FreshTestFolder(L"names") + L"\\store";
  }

  StationNameSetup setup;
};

// Another program and two threads of this one ask 5,000 names each at the same time.
TEST_F(StationNamesTest, ProgramsAndThreadsAskingAtOnceShareOneSequence) {
  const std::wstring burst = setup.storeFolder + L"-burst.txt";
  std::wstring commandLine =
      L"\"" + TestExeFolder() + L"\\NameBurst.exe\" \"" + setup.storeFolder + L"\" 5000 \"" + burst + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(
      CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  UniqueHandle program(process.hProcess), thread(process.hThread);
  std::vector<std::wstring> names[2];
  std::thread workers[2];
  for (int i = 0; i < 2; ++i)
    workers[i] = std::thread([&, i] {
      for (int n = 0; n < 5000; ++n) names[i].push_back(NextStationName(setup));
    });
  for (auto& worker : workers) worker.join();
  ASSERT_EQ(WaitForSingleObject(program.get(), 120000), WAIT_OBJECT_0);
  std::istringstream lines(ReadFileBytes(burst));
  for (std::string line; std::getline(lines, line);) names[0].emplace_back(line.begin(), line.end());
  std::set<std::wstring> numbers;
  for (const auto& list : names)
    for (const std::wstring& name : list) {
      std::wsmatch match;
      ASSERT_TRUE(std::regex_match(name, match, SequenceForm)) << std::string(name.begin(), name.end());
      EXPECT_EQ(match[1].str(), SequenceOf(names[0].front()));
      numbers.insert(match[2].str());
    }
  EXPECT_EQ(numbers.size(), 15000u) << "a number was issued twice, or a program's names are missing";
}

// A program that ended while holding the lock leaves it abandoned: the next asker still takes it,
// and releases it for the one after. The lock lives in the namespace that every session shares,
// so that programs of two users, of a remote session and of a service issue one sequence.
TEST_F(StationNamesTest, LockAbandonedByAProgramThatEndedIsTakenAndGivenBack) {
  HANDLE abandoned = nullptr;
  std::thread([&, name = SequenceLockName(setup.storeFolder)] {
    abandoned = CreateMutexW(nullptr, TRUE, name.c_str());
  }).join();
  UniqueHandle lock(abandoned);
  EXPECT_EQ(KernelName(lock.get()).rfind(L"\\BaseNamedObjects\\", 0), 0u) << KernelName(lock.get());
  setup.lockTimeoutMs = 200;
  std::wstring first = NextStationName(setup), second;
  std::thread([&] { second = NextStationName(setup); }).join();
  EXPECT_EQ(SequenceOf(second), SequenceOf(first));
  EXPECT_NE(SequenceOf(first), L"<not a sequence name>");
}

TEST_F(StationNamesTest, RecordThatCannotBeKeptGivesFallbackNames) {
  const struct {
    const char* what;
    int names;
  } rows[] = {{"store folder blocked by a file", 1000}, {"lock held by a hung program", 3}};
  // Held from a thread of its own: a mutex lets its owning thread in again.
  const std::wstring heldFolder = setup.storeFolder + L"-held";
  UniqueHandle held(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&, lockName = SequenceLockName(heldFolder)] {
    UniqueHandle lock(CreateMutexW(nullptr, TRUE, lockName.c_str()));
    SetEvent(held.get());
    WaitForSingleObject(release.get(), INFINITE);
    ReleaseMutex(lock.get());
  });
  WaitForSingleObject(held.get(), 10000);
  WriteFileBytes(setup.storeFolder, "not a folder");
  std::set<std::wstring> names;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    for (int i = 0; i < row.names; ++i) {
      const std::wstring name = NextStationName(setup);
      EXPECT_TRUE(std::regex_match(name, FallbackForm)) << std::string(name.begin(), name.end());
      EXPECT_TRUE(names.insert(name).second);
    }
    setup.storeFolder = heldFolder;
    setup.lockTimeoutMs = 100;
  }
  SetEvent(release.get());
  holder.join();
}

}  // namespace
