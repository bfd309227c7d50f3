// nubora: the support tool's one entry, with its verbs.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "nubora/doctor/doctor.h"
#include "nubora/preview/preview.h"
#include "nubora/report/report_command.h"
#include "nubora/status/status.h"

namespace nubora {
namespace {

const wchar_t kUsage[] =
    L"usage: nubora VERB ...\n"
    L"  nubora preview FILE.ini [--adapters ADAPTERS.ini|host]\n"
    L"      what a boot would do with FILE.ini, changing nothing\n"
    L"  nubora status [LOG] [--run N | --all] [--json] [--codepage N]\n"
    L"      what the service's log says about its last run (or run N, or all)\n"
    L"  nubora report [LOG] [--console PORT|none] [--no-eventlog] [--wait-for-service [S]]\n"
    L"      tells the last run on the serial console and in the Event Log\n"
    L"  nubora report --install-service | --uninstall-service\n"
    L"      the service that reports every boot's run\n"
    L"  nubora doctor [INI] [--machine FILE|host] [--json] [--fix ghost-addresses [--backup "
    L"FILE]]\n"
    L"      what stands between this machine and the network INI asks for\n"
    L"  nubora VERB --help   more about one verb\n";

using Verb = int (*)(const std::vector<std::wstring>& args, std::string& out, std::string& err);

int Report(const std::vector<std::wstring>& args, std::string& out, std::string& err) {
  return ReportCommand(args, NativeReportPlatform(), out, err);
}

// Every verb the same way: the user's locale for its text, its output, then its messages.
int RunVerb(Verb verb, int argc, wchar_t** argv) {
  std::setlocale(LC_ALL, "");
  std::string out, err;
  const int result = verb(std::vector<std::wstring>(argv + 2, argv + argc), out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return result;
}

int NuboraMain(int argc, wchar_t** argv) {
  const std::wstring verb = argc > 1 ? argv[1] : L"";
  if (verb == L"preview") return RunVerb(PreviewCommand, argc, argv);
  if (verb == L"status") return RunVerb(StatusCommand, argc, argv);
  if (verb == L"report") return RunVerb(Report, argc, argv);
  if (verb == L"doctor") return RunVerb(DoctorCommand, argc, argv);
  const bool help = verb == L"--help" || verb == L"-h" || verb == L"help";
  if (!help) {
    std::fwprintf(stderr, verb.empty() ? L"nubora: no verb given\n" : L"nubora: unknown verb %ls\n",
                  verb.c_str());
  }
  std::fwprintf(help ? stdout : stderr, L"%ls", kUsage);
  return help ? 0 : 2;
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
