#pragma once

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "nubora/machine/adapters_file.h"
#include "platform/platform.h"

namespace nubora::testing {

// Start-up facts as a test sets them; redirection changes are written down.
class FakeSystemProbe : public SystemProbe {
 public:
  bool ReadOsMajorVersion(unsigned long& value) override {
    value = major;
    return versionReadable;
  }
  void ResolveWow64EntryPoints() override {}
  bool HasIsWow64Process() const override { return hasWow64; }
  bool HasDisableRedirection() const override { return hasWow64; }
  bool HasRevertRedirection() const override { return hasWow64; }
  bool QueryIsWow64Process(int& flag) override {
    flag = isWow64;
    return true;
  }
  bool DisableRedirection(void*& old) override {
    old = this;
    ++redirectionOff;
    return true;
  }
  bool RevertRedirection(void* old) override {
    redirectionOn += old == this;
    return true;
  }
  unsigned long major = 10;
  bool versionReadable = true;
  bool hasWow64 = false;
  int isWow64 = 0;
  int redirectionOff = 0;
  int redirectionOn = 0;  // with the value DisableRedirection gave
};

// The service manager and the executable's files, as the installers meet
// them: each call written down in `calls`, each copy in `copies`; the step
// `failAt` (manager, create, describe, open, delete, copy, or a deriving
// fake's own) fails with `error`; `open` counts the handles not yet closed.
class FakeInstallSystem : public ServiceManagerApi, public ExecutableFiles {
 public:
  void* OpenManager(unsigned long access) override {
    return Failing(L"open manager " + std::to_wstring(access), L"manager") ? nullptr : Handle();
  }
  void* CreateOwnService(void*, const wchar_t* name, const wchar_t* displayName,
                         unsigned long access, unsigned long type, unsigned long start,
                         unsigned long errorControl, const wchar_t* commandLine) override {
    std::wstring call = std::wstring(L"create ") + name + L"|" + displayName;
    for (unsigned long number : {access, type, start, errorControl}) {
      call += L"|" + std::to_wstring(number);
    }
    return Failing(call + L"|" + commandLine, L"create") ? nullptr : Handle();
  }
  bool SetDescription(void*, const wchar_t* description) override {
    return !Failing(std::wstring(L"describe ") + description, L"describe");
  }
  void* OpenExistingService(void*, const wchar_t* name, unsigned long access) override {
    return Failing(std::wstring(L"open ") + name + L" " + std::to_wstring(access), L"open")
               ? nullptr
               : Handle();
  }
  bool DeleteExistingService(void*) override { return !Failing(L"delete", L"delete"); }
  void Close(void*) override { --open; }
  unsigned long LastError() override { return error; }
  void ModulePath(wchar_t* buffer, unsigned long size) override {
    std::wcsncpy(buffer, modulePath.c_str(), size);
  }
  bool CreateFolder(const wchar_t* path) override {
    folders.push_back(path);
    return true;
  }
  bool CopyOver(const wchar_t* from, const wchar_t* to) override {
    copies.push_back(std::wstring(from) + L" -> " + to);
    return failAt != L"copy";
  }
  // Paths the same file answers to share an id; a path without one does not exist.
  FileIdentity SameFile(const wchar_t* a, const wchar_t* b) override {
    if (identityUnknown) return FileIdentity::kUnknown;
    const auto first = fileIds.find(a), second = fileIds.find(b);
    if (first == fileIds.end() || second == fileIds.end()) return FileIdentity::kDifferent;
    return first->second == second->second ? FileIdentity::kSame : FileIdentity::kDifferent;
  }
  // Whether `step` fails; `call` (empty: none) written down first.
  bool Failing(const std::wstring& call, const wchar_t* step) {
    if (!call.empty()) calls.push_back(call);
    return failAt == step;
  }

  std::wstring failAt;
  unsigned long error = 0;
  std::vector<std::wstring> calls, folders, copies;
  int open = 0;
  std::wstring modulePath = L"D:\\images\\NuboraService.exe";
  std::map<std::wstring, int> fileIds;
  bool identityUnknown = false;

 private:
  void* Handle() {
    ++open;
    return this;
  }
};

// The current platform with `fake` as its service manager and files.
Platform WithInstallSystem(FakeInstallSystem& fake);

// Sends the log to a temporary file for its lifetime.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string Text();  // without carriage returns

 private:
  std::FILE* file_;
};

// A file `name` in the temporary folder, its name this process's own: other
// test processes (ctest's side by side, a mutation run) use the same names.
std::string TempPath(const std::string& name);

// Writes `bytes` to the file at `path`, or adds them at its end.
void WriteFile(const std::string& path, const std::string& bytes, bool append = false);

// A whole file without carriage returns.
std::string ReadFile(const std::string& path);

std::string FirstLine(const std::string& text);
// How many times `text` holds `what`: a log's retries, a preview's pauses.
std::size_t Occurrences(const std::string& text, const std::string& what);
// Whether a run's text, as nubora status prints it, leaves nothing to do:
// configured, or nothing to configure (exit code 0).
bool LeavesNothingToDo(const std::string& runText);

// The log's clock lines as the golden files hold them: "start time <time>".
std::string WithClockForm(const std::string& log);

// tests/data/doctor/NAME, the doctor's machines and INI files.
std::wstring DoctorData(const std::string& name);
// The machine tests/data/doctor/NAME.ini describes.
MachineDescription DoctorMachine(const std::string& name);

// The folders of tests/scenarios, sorted.
std::vector<std::string> ScenarioNames();

}  // namespace nubora::testing
