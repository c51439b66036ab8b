// The station's name sequence on disk under Wine: a record shared by threads and programs,
// started afresh when damaged or missing, names that cannot collide when it cannot be kept,
// and the release provider deaf to the test values that earlier builds obeyed.
#include "../../namer/StationNames.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "../../common/ComHandles.h"
#include "../../common/Handles.h"
#include "TestFolders.h"

namespace {

const std::wregex SequenceForm(L"\\d{8}-[0-9A-Z_-]+-([0-9A-Z]{6})-(\\d{4,})");
const std::wregex FallbackForm(L"\\d{8}-[0-9A-Z_-]+-\\d{9}-[0-9A-Z]{8}");

std::wstring SequenceOf(const std::wstring& name) {
  std::wsmatch match;
  return std::regex_match(name, match, SequenceForm) ? match[1].str() : L"<not a sequence name>";
}

class StationNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setup = StationSetup();
    setup.storeFolder = FreshTestFolder(L"names") + L"\\store";
  }

  // Names from burst programs and threads, all asking at once.
  std::vector<std::wstring> askAtOnce(int programs, int threads, int each) {
    std::vector<UniqueHandle> running;
    for (int i = 0; i < programs; ++i) {
      std::wstring commandLine = L"\"" + TestExeFolder() + L"\\NameBurst.exe\" \"" + setup.storeFolder + L"\" " +
                                 std::to_wstring(each) + L" \"" + burstFile(i) + L"\"";
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process{};
      EXPECT_TRUE(
          CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
      CloseHandle(process.hThread);
      running.emplace_back(process.hProcess);
    }
    std::vector<std::vector<std::wstring>> fromThreads(threads);
    std::vector<std::thread> workers;
    for (auto& names : fromThreads)
      workers.emplace_back([&] {
        for (int i = 0; i < each; ++i) names.push_back(NextStationName(setup));
      });
    for (auto& worker : workers) worker.join();
    std::vector<std::wstring> all;
    for (auto& names : fromThreads) all.insert(all.end(), names.begin(), names.end());
    for (int i = 0; i < programs; ++i) {
      DWORD exitCode = 1;
      EXPECT_EQ(WaitForSingleObject(running[i].get(), 120000), WAIT_OBJECT_0);
      GetExitCodeProcess(running[i].get(), &exitCode);
      EXPECT_EQ(exitCode, 0u);
      std::istringstream lines(ReadFileBytes(burstFile(i)));
      for (std::string line; std::getline(lines, line);) all.emplace_back(line.begin(), line.end());
    }
    return all;
  }

  std::wstring burstFile(int i) const { return setup.storeFolder + L"-burst" + std::to_wstring(i) + L".txt"; }

  StationNameSetup setup;
};

TEST_F(StationNamesTest, ProgramsAndThreadsAskingAtOnceShareOneSequence) {
  const std::vector<std::wstring> names = askAtOnce(2, 2, 5000);
  ASSERT_EQ(names.size(), 20000u);
  std::set<std::wstring> numbers;
  for (const std::wstring& name : names) {
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(name, match, SequenceForm)) << std::string(name.begin(), name.end());
    EXPECT_EQ(match[1].str(), SequenceOf(names.front()));
    numbers.insert(match[2].str());
  }
  EXPECT_EQ(numbers.size(), names.size()) << "a number was issued twice";
}

TEST_F(StationNamesTest, DamagedOrMissingRecordStartsANewSequence) {
  const struct {
    const char* what;
    void (*spoil)(const std::wstring& record);
  } rows[] = {
      {"damaged", [](const std::wstring& record) { WriteFileBytes(record, "Zembrolite name sequence 1\r\nSeq"); }},
      {"missing", [](const std::wstring& record) { DeleteFileW(record.c_str()); }},
  };
  std::set<std::wstring> names{NextStationName(setup), NextStationName(setup)};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::wstring before = NextStationName(setup);
    row.spoil(SequenceRecordPath(setup.storeFolder));
    const std::wstring after = NextStationName(setup);
    EXPECT_NE(SequenceOf(after), SequenceOf(before));
    EXPECT_EQ(after.substr(after.size() - 5), L"-0001");
    EXPECT_TRUE(names.insert(before).second && names.insert(after).second);
  }
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

// Earlier builds answered a fixed text from these values; a value left on a station then gave
// every scan the same name.
TEST(ReleaseNameProvider, IgnoresTestValuesLeftOnAStation) {
  const wchar_t* keys[] = {L"Software\\Zembrolite\\ImageNameProvider\\Test",
                           L"Software\\Zembrolite\\Tests\\NameProvider"};
  for (const wchar_t* key : keys) RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Text", REG_SZ, L"SAME", 10);
  UniqueModule provider(LoadLibraryW((TestExeFolder() + L"\\..\\bin\\ImageNameProvider.dll").c_str()));
  ASSERT_TRUE(provider);
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto getClassObject =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(provider.get(), "DllGetClassObject")));
  ASSERT_NE(getClassObject, nullptr);
  const CLSID providerClass = {0x59B72879, 0x1F28, 0x4C03, {0x9A, 0x0C, 0x51, 0x5E, 0xF4, 0x8D, 0x61, 0x6B}};
  std::set<std::wstring> names;
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(providerClass, IID_IClassFactory, reinterpret_cast<void**>(factory.put())), S_OK);
    for (int press = 0; press < 2; ++press) {
      ComPtr<IDispatch> object;
      ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.put())), S_OK);
      DISPPARAMS none{};
      Variant name;
      ASSERT_EQ(object->Invoke(202, IID_NULL, 0, DISPATCH_METHOD, &none, name.put(), nullptr, nullptr), S_OK);
      ASSERT_EQ(name.get().vt, VT_BSTR);
      names.insert(name.get().bstrVal);
    }
  }
  for (const wchar_t* key : keys) RegDeleteTreeW(HKEY_CURRENT_USER, key);
  ASSERT_EQ(names.size(), 2u);
  for (const std::wstring& name : names)
    EXPECT_TRUE(std::regex_match(name, SequenceForm)) << std::string(name.begin(), name.end());
}

}  // namespace
