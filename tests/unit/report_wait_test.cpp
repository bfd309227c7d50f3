// nubora report --wait-for-service: what each boot, as the service manager
// plays it, is told as. Only a run the service manager shows as this boot's
// is told with its own verdict; of any other, the log's last start alone. The
// wait polls once a second; no case depends on a time.
#include "report_fixture.h"

namespace nubora::testing {
namespace {

TEST(ReportWait, EachBootIsToldAsTheServiceManagerShowsIt) {
  const std::wstring ran = L"COM1: verdict: nothing to configure; event 101 information; ";
  const std::wstring notRun =
      L"COM1: verdict: not run: NuboraService did not run this boot; event 105 error; ";
  const std::wstring unknown = L"COM1: verdict: unknown: ", event104 = L"; event 104 error; ";
  const std::wstring lastRun = L"\r\nthe last run in the log started at 2024-5-17, 9: 3: 0";
  const std::vector<std::wstring> byHand = {L"--wait-for-service"};
  const Step autoStart = NeverStarted(scm::kAutoStart);
  const ReportCase cases[] = {
      // clang-format off
      {"never started, then running, then stopped: its run", byHand, {autoStart, Running(), StoppedWith(0)}, {}, L"", 0, ran,
       L"verdict: nothing to configure\r\nstart time 2024-5-17, 9: 3: 0\r\nno end time: the run stopped after reading the file\r\n"
       L"configuration file: missing\r\npost script: not run", L"", 2},
      {"disabled", byHand, {NeverStarted(scm::kDisabled)}, {}, L"", 0, notRun, L"\r\nNuboraService: stopped, start type disabled" + lastRun, L"", 0},
      {"not installed", byHand, {kAbsent}, {}, L"", 0, notRun, L"\r\nNuboraService: not installed" + lastRun, L"", 0},
      {"a failed start", byHand, {autoStart, StoppedWith(1053)}, {}, L"", 0,
       unknown + L"NuboraService stopped with error 1053: no answer to the service manager in time" + event104, lastRun, L"", 1},
      {"a crash", byHand, {Running(), StoppedWith(1067)}, {}, L"", 0,
       unknown + L"NuboraService stopped with error 1067: the process ended unexpectedly" + event104, lastRun, L"", 1},
      {"not started, then stopped, and the log did not grow", byHand, {autoStart, StoppedWith(0)}, {}, L"", 0,
       unknown + L"the log holds no run of this boot" + event104, lastRun, L"", 1},
      {"first seen running after its last line: its run", byHand, {Running(false), StoppedWith(0)}, {}, L"", 0, ran, L"", L"", 1},
      {"running, no line of it yet, when the wait of 1 s ends", {L"--wait-for-service", L"1"}, {autoStart, Running(false)}, {}, L"", 0,
       unknown + L"no line of this boot's run yet" + event104, L"after 1 s\r\nNuboraService: running, start type automatic", L"", 1},
      {"a run told at a boot", {}, {}, {}, L"", 0, ran, L"\r\nthe last run in the log was already told at a boot", L"", 0, true},
      {"still running when the wait of 2 s ends: its run so far", {L"--wait-for-service", L"2"}, {Running()}, {}, L"", 0,
       L"COM1: verdict: incomplete" + event104, L"verdict: incomplete\r\nNuboraService still running after 2 s\r\nstart time", L"", 2},
      {"a query that fails", byHand, {kQueryFails}, {}, L"", 0,
       unknown + L"cannot ask the service manager about NuboraService (error 1722)" + event104, lastRun, L"", 0},
      // clang-format on
  };
  for (const ReportCase& c : cases) CheckReport(c, kRun, nullptr);
}

}  // namespace
}  // namespace nubora::testing
