#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <thread>

#include "fakes.h"
#include "platform/identity.h"
#include "platform/service_runner.h"
#include "service/dispatch.h"
#include "service/installer.h"
#include "service/lifecycle.h"

namespace nubora {
namespace {

struct StatusSent {
  std::uint32_t state;
  std::uint32_t exitCode;
  bool operator==(const StatusSent& other) const {
    return state == other.state && exitCode == other.exitCode;
  }
};

class FakeServiceHost : public ServiceHost {
 public:
  unsigned long RunDispatcher(const ServiceTableEntry* table) override {
    EXPECT_STREQ(table[0].name, L"NuboraService");
    EXPECT_EQ(table[1].name, nullptr);
    table[0].main(0, nullptr);
    if (worker.joinable()) worker.join();
    return 0;
  }
  ServiceStatusHandle RegisterControlHandler(const wchar_t* name, ServiceControlRoutine,
                                             void*) override {
    EXPECT_STREQ(name, L"vadozazor_service");
    return registers ? this : nullptr;
  }
  bool ReportStatus(ServiceStatusHandle handle, const ServiceStatus& status) override {
    EXPECT_EQ(handle, this);
    EXPECT_EQ(status.dwServiceType, 0x30u);
    EXPECT_EQ(status.dwControlsAccepted, 3u);
    EXPECT_EQ(status.dwCheckPoint, 0u);
    EXPECT_EQ(status.dwWaitHint, 0u);
    reports.push_back({status.dwCurrentState, status.dwWin32ExitCode});
    return true;
  }
  bool StartThread(ThreadRoutine routine, void* parameter, unsigned long& error) override {
    if (startError) {
      error = *startError;
      return false;
    }
    worker = std::thread(routine, parameter);
    // Give a short run the chance to finish before RUNNING is reported.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return true;
  }
  bool registers = true;
  std::optional<unsigned long> startError;  // set: the thread cannot start
  std::vector<StatusSent> reports;
  std::thread worker;
};

int runs = 0;
int CountedRun() { return ++runs; }
int RunThatIsAskedToStop() {
  ++runs;
  for (unsigned long control : {2ul, 3ul, 4ul, 1ul, 1ul}) {
    EXPECT_EQ(ServiceCtrlHandler(control, 0, nullptr, nullptr), 0u);
  }
  return 0;
}

struct ServiceCase {
  const char* what;
  ServiceRun run;
  bool registers;
  std::optional<unsigned long> startError;
  std::vector<StatusSent> reports;
  int runs;
  std::size_t stopLines;
};

TEST(ServiceLifecycle, ReportSequences) {
  const ServiceCase cases[] = {
      // clang-format off
      {"normal start", CountedRun, true, std::nullopt, {{4, 0}, {1, 0}}, 1, 0},
      {"stop during the run", RunThatIsAskedToStop, true, std::nullopt, {{4, 0}, {3, 0}, {3, 0}, {1, 0}}, 1, 2},
      {"handler registration fails", CountedRun, false, std::nullopt, {}, 0, 0},
      {"worker cannot start", CountedRun, true, 1455, {{1, 1455}}, 0, 0},
      {"worker cannot start, no code given", CountedRun, true, 0, {{1, 8}}, 0, 0},
      // clang-format on
  };
  for (const ServiceCase& c : cases) {
    testing::LogCapture log;
    FakeServiceHost host;
    host.registers = c.registers;
    host.startError = c.startError;
    Platform withHost = CurrentPlatform();
    withHost.serviceHost = &host;
    ScopedPlatform scope(withHost);
    ResetServiceState();
    SetServiceRun(c.run);
    runs = 0;

    EXPECT_EQ(RunServiceDispatcher(), 0u) << c.what;
    EXPECT_EQ(host.reports, c.reports) << c.what;
    EXPECT_EQ(runs, c.runs) << c.what;
    const std::string line = "some one try to stop our service, entering stop pending state\n";
    std::string expected;
    for (std::size_t i = 0; i < c.stopLines; ++i) expected += line;
    EXPECT_EQ(log.Text(), expected) << c.what;

    // After STOPPED nothing more is reported.
    const std::size_t before = host.reports.size();
    ServiceCtrlHandler(1, 0, nullptr, nullptr);
    EXPECT_EQ(host.reports.size(), before) << c.what;
    SetServiceRun(nullptr);
  }
}

// With no stop request, a pause lasts its whole time.
TEST(ServiceRunner, PausesItsWholeTimeUnlessAskedToStop) {
  ServiceRunner runner(ServiceSetup{});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(runner.Pause(50), StopRequest::kNone);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

// The entry's printed result of each verb, and what the installer did on the way.
TEST(EntryMain, InstallAndUninstallPrintTheFailingStepsCode) {
  struct Case {
    const wchar_t* verb;
    const wchar_t* failAt;  // manager, create, copy, open, delete
    unsigned long error;
    const wchar_t* modulePath;
    const char* printed;
    std::size_t copies;
    bool deleted;
  };
  const wchar_t* elsewhere = L"D:\\x.exe";
  const Case cases[] = {
      // clang-format off
      {L"install", L"manager", 5, elsewhere, "installservice failed with errorcode=5", 0, 0},
      {L"install", L"create", 1073, elsewhere, "installservice failed with errorcode=1073", 0, 0},
      // A copy that fails takes the registration back.
      {L"install", L"copy", 3, elsewhere, "installservice failed with errorcode=3", 1, 1},
      {L"install", L"", 0, L"D:\\Program Files\\Nubora\\NuboraService\\NuboraService.exe", "installservice successfully", 1, 0},
      {L"uninstall", L"", 0, elsewhere, "uninstallservice successfully", 0, 1},
      {L"uninstall", L"manager", 5, elsewhere, "uninstallservice failed with errorcode=5", 0, 0},
      {L"uninstall", L"open", 1060, elsewhere, "uninstallservice failed with errorcode=1060", 0, 0},
      {L"uninstall", L"delete", 1072, elsewhere, "uninstallservice failed with errorcode=1072", 0, 1},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printed);
    testing::FakeInstallSystem system;
    system.failAt = c.failAt;
    system.error = c.error;
    system.modulePath = c.modulePath;
    ScopedPlatform scope(testing::WithInstallSystem(system));
    testing::LogCapture log;
    std::wstring program = L"NuboraService.exe", verb = c.verb;
    wchar_t* argv[] = {&program[0], &verb[0], nullptr};
    EXPECT_EQ(EntryMain(2, argv), 0);
    EXPECT_EQ(log.Text(), std::string(c.printed) + "\n");
    EXPECT_EQ(system.copies.size(), c.copies);
    EXPECT_EQ(system.calls.back() == L"delete", c.deleted);
    EXPECT_EQ(system.open, 0);
    EXPECT_EQ(system.calls[0], verb == L"install" ? L"open manager 2" : L"open manager 983103");
  }
}

TEST(InstallService, CopiesUnlessItRunsFromTheInstalledFileUnderAnySpelling) {
  const std::wstring installed = L"C:\\Program Files\\Nubora\\NuboraService\\NuboraService.exe";
  struct Case {
    const wchar_t* modulePath;
    int moduleId, installedId;  // equal: one file; 0: no such file; -1: cannot tell
    unsigned long copyError;
    int result;
    std::size_t copies;
  };
  // A copy onto the running image would fail with 32, and show.
  const Case cases[] = {
      {L"C:\\PROGRA~1\\Nubora\\NUBORA~1\\NUBORA~1.EXE", 1, 1, 32, 0, 0},
      {L"\\\\vm\\c$\\Program Files\\Nubora\\NuboraService\\NuboraService.exe", 1, 1, 32, 0, 0},
      {L"D:\\Program Files\\Nubora\\NuboraService\\NuboraService.exe", 2, 1, 0, 0, 1},
      {L"D:\\x.exe", 2, 0, 0, 0, 1},      // nothing installed yet
      {L"D:\\x.exe", 2, 1, 5, 5, 1},      // the copy fails: registration taken back
      {L"D:\\x.exe", -1, -1, 32, 32, 1},  // identity unknown: the copy decides
  };
  for (const Case& c : cases) {
    testing::FakeInstallSystem system;
    system.modulePath = c.modulePath;
    if (c.moduleId != 0) system.fileIds[c.modulePath] = c.moduleId;
    if (c.installedId != 0) system.fileIds[installed] = c.installedId;
    system.identityUnknown = c.moduleId < 0;
    system.failAt = c.copyError != 0 ? L"copy" : L"";
    system.error = c.copyError;
    ScopedPlatform scope(testing::WithInstallSystem(system));

    EXPECT_EQ(InstallService(), c.result) << c.modulePath;
    const std::wstring copy = std::wstring(c.modulePath) + L" -> " + installed;
    EXPECT_EQ(system.copies, std::vector<std::wstring>(c.copies, copy)) << c.modulePath;
    EXPECT_EQ(system.calls.back() == L"delete", c.result != 0) << c.modulePath;
    EXPECT_EQ(system.open, 0);
    if (c.installedId == 0) {  // what a first install registers, and where
      EXPECT_EQ(system.calls, (std::vector<std::wstring>{
                                  L"open manager 2",
                                  L"create NuboraService|Nubora\u670D\u52A1|983551|16|2|1|\"" +
                                      installed + L"\" -k",
                                  std::wstring(L"describe ") + kServiceDescription}));
      EXPECT_EQ(system.folders,
                (std::vector<std::wstring>{L"C:\\Program Files", L"C:\\Program Files\\Nubora",
                                           L"C:\\Program Files\\Nubora\\NuboraService"}));
    }
  }
}

std::wstring InIniData(const std::string& name) {
  const std::string path = NUBORA_TEST_DATA_DIR "/ini/" + name;
  return std::wstring(path.begin(), path.end());
}

TEST(ExecutableFiles, SameFileByIdentityNotSpelling) {
  struct Case {
    const char* a;
    const char* b;
    FileIdentity expected;
  };
  const Case cases[] = {
      {"lookup.ini", "lookup.ini", FileIdentity::kSame},
      {"lookup.ini", "../ini/./lookup.ini", FileIdentity::kSame},
      {"lookup.ini", "cr.ini", FileIdentity::kDifferent},
      {"lookup.ini", "absent.ini", FileIdentity::kDifferent},
      {"absent.ini", "lookup.ini", FileIdentity::kDifferent},
      {"lookup.ini", "absent/lookup.ini", FileIdentity::kDifferent},
      {"lookup.ini", "lookup.ini/inside.ini", FileIdentity::kDifferent},
  };
  ExecutableFiles& files = *NativePlatform().files;
  for (const Case& c : cases) {
    EXPECT_EQ(files.SameFile(InIniData(c.a).c_str(), InIniData(c.b).c_str()), c.expected)
        << c.a << " " << c.b;
  }
}

TEST(ThreadStartError, RuntimeRecordFirstThenLastErrorNeverZero) {
  struct Case {
    unsigned long runtimeSystemError;
    int runtimeErrno;
    unsigned long lastError;
    unsigned long expected;
  };
  const Case cases[] = {
      {1450, ENOMEM, 87, 1450},  // the runtime's copy of the system's code
      {0, EAGAIN, 87, 155},      // then its errno
      {0, ENOMEM, 87, 8},       {0, EINVAL, 5, 87}, {0, EACCES, 87, 5},
      {0, EDOM, 1455, 1455},  // an errno with no Windows meaning: the last error
      {0, 0, 1455, 1455},       {0, 0, 0, 8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThreadStartError(c.runtimeSystemError, c.runtimeErrno, c.lastError), c.expected)
        << c.runtimeSystemError << " " << c.runtimeErrno << " " << c.lastError;
  }
}

}  // namespace
}  // namespace nubora
