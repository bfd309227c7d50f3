// nubora: the support tool's one entry, with its verbs.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "nubora/cli/verbs.h"
#include "nubora/doctor/doctor.h"
#include "nubora/fleet/fleet.h"
#include "nubora/preview/preview.h"
#include "nubora/report/report_command.h"
#include "nubora/status/status.h"

namespace nubora {
namespace {

using Command = int (*)(const std::vector<std::wstring>& args, std::string& out, std::string& err);

// The report with this machine's ports, Event Log and service manager.
int ReportOnThisMachine(const std::vector<std::wstring>& args, std::string& out, std::string& err) {
  return ReportCommand(args, NativeReportPlatform(), out, err);
}

const struct {
  const VerbSynopsis* verb;
  Command command;
} kCommands[] = {{&kPreviewSynopsis, PreviewCommand},
                 {&kStatusSynopsis, StatusCommand},
                 {&kReportSynopsis, ReportOnThisMachine},
                 {&kDoctorSynopsis, DoctorCommand},
                 {&kFleetSynopsis, FleetCommand}};

// Every verb, and the tool's own help and version, the same way: the user's
// locale for its text, its output, then its messages.
int NuboraMain(int argc, wchar_t** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  Command command = ToolCommand;
  for (const auto& each : kCommands) {
    if (!args.empty() && args[0] == each.verb->name) {
      command = each.command;
      args.erase(args.begin());  // the verb's arguments follow its name
      break;
    }
  }
  std::string out, err;
  const int result = command(args, out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return result;
}

}  // namespace
}  // namespace nubora

#if defined(_WIN32)

int wmain(int argc, wchar_t** argv) { return nubora::NuboraMain(argc, argv); }

#else

#include "platform/wide_arguments.h"

int main(int argc, char** argv) {
  return nubora::RunWithWideArguments(argc, argv, nubora::NuboraMain);
}

#endif
