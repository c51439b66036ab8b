#include "ScannerControl.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string Beside(const char* name) {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&Beside), &self);
  char path[MAX_PATH] = "";
  GetModuleFileNameA(self, path, MAX_PATH);
  std::string folder(path);
  folder = folder.substr(0, folder.find_last_of('\\') + 1);
  return folder + name;
}

std::string ControlFile() { return Beside("VirtualScanner.ini"); }

std::string ReadControl(const char* section, const std::string& key) {
  char value[64] = "";
  GetPrivateProfileStringA(section, key.c_str(), "", value, sizeof value, ControlFile().c_str());
  return value;
}

std::string Hex4(int number) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", number & 0xFFFF);
  return text;
}

}  // namespace

std::string CallName(TW_UINT16 dataType, TW_UINT16 message) {
  std::string type;
  switch (dataType) {
    case DAT_NULL:
      type = "NULL";
      break;
    case DAT_CAPABILITY:
      type = "CAPABILITY";
      break;
    case DAT_EVENT:
      type = "EVENT";
      break;
    case DAT_IDENTITY:
      type = "IDENTITY";
      break;
    case DAT_PENDINGXFERS:
      type = "PENDINGXFERS";
      break;
    case DAT_STATUS:
      type = "STATUS";
      break;
    case DAT_USERINTERFACE:
      type = "USERINTERFACE";
      break;
    case DAT_IMAGELAYOUT:
      type = "IMAGELAYOUT";
      break;
    case DAT_IMAGENATIVEXFER:
      type = "IMAGENATIVEXFER";
      break;
    case DAT_ENTRYPOINT:
      type = "ENTRYPOINT";
      break;
    default:
      type = "DAT" + Hex4(dataType);
      break;
  }
  std::string name;
  switch (message) {
    case MSG_GET:
      name = "GET";
      break;
    case MSG_GETCURRENT:
      name = "GETCURRENT";
      break;
    case MSG_GETDEFAULT:
      name = "GETDEFAULT";
      break;
    case MSG_SET:
      name = "SET";
      break;
    case MSG_RESET:
      name = "RESET";
      break;
    case MSG_OPENDS:
      name = "OPENDS";
      break;
    case MSG_CLOSEDS:
      name = "CLOSEDS";
      break;
    case MSG_ENABLEDS:
      name = "ENABLEDS";
      break;
    case MSG_DISABLEDS:
      name = "DISABLEDS";
      break;
    case MSG_PROCESSEVENT:
      name = "PROCESSEVENT";
      break;
    case MSG_ENDXFER:
      name = "ENDXFER";
      break;
    default:
      name = "MSG" + Hex4(message);
      break;
  }
  return type + "." + name;
}

int ScriptedFailure(const std::string& callName, int capability, TW_UINT16& conditionCode) {
  std::string key = callName;
  std::string value;
  if (capability >= 0) {
    value = ReadControl("Fail", key + "." + Hex4(capability));
    if (!value.empty()) key += "." + Hex4(capability);
  }
  if (value.empty()) value = ReadControl("Fail", key);
  if (value.empty()) return -1;
  const std::string condition = ReadControl("Fail", key + ".CC");
  conditionCode = static_cast<TW_UINT16>(condition.empty() ? TWCC_BUMMER : std::atoi(condition.c_str()));
  return std::atoi(value.c_str());
}

std::string ScriptedCrash(const std::string& callName) { return ReadControl("Crash", callName); }

double DeviceSetting(const char* key, double defaultValue) {
  const std::string value = ReadControl("Device", key);
  return value.empty() ? defaultValue : std::atof(value.c_str());
}

std::string BehaviourSetting(const char* key, const char* defaultValue) {
  const std::string value = ReadControl("Behaviour", key);
  return value.empty() ? defaultValue : value;
}

void LogCall(const std::string& line) {
  if (ReadControl("Log", "Calls") != "1") return;
  HANDLE file = CreateFileA(Beside("VirtualScanner.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool LogsChecksums() { return ReadControl("Log", "Checksum") == "1"; }

void LogTime(const char* event) {
  if (ReadControl("Log", "Times") != "1") return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  LogCall(std::string("time ") + event + " qpc=" + std::to_string(now.QuadPart));
}
