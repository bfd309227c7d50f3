// nubora: the support tool's one entry, with its verbs.
#include <cstdio>
#include <string>

#include "nubora/doctor.h"
#include "nubora/preview.h"
#include "nubora/report.h"
#include "nubora/status.h"

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

int NuboraMain(int argc, wchar_t** argv) {
  const std::wstring verb = argc > 1 ? argv[1] : L"";
  // Each verb sees its own name where a program sees its own.
  if (verb == L"preview") return PreviewMain(argc - 1, argv + 1);
  if (verb == L"status") return StatusMain(argc - 1, argv + 1);
  if (verb == L"report") return ReportMain(argc - 1, argv + 1);
  if (verb == L"doctor") return DoctorMain(argc - 1, argv + 1);
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
