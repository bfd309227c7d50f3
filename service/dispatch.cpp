#include "service/dispatch.h"

#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "netconfig/run.h"
#include "platform/identity.h"
#include "platform/probes.h"
#include "service/installer.h"
#include "service/lifecycle.h"

namespace nubora {
namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

bool SameWordIgnoringCase(const wchar_t* argument, const wchar_t* verb) {
  for (; *argument != L'\0' && *verb != L'\0'; ++argument, ++verb) {
    if (FoldAscii(*argument) != FoldAscii(*verb)) return false;
  }
  return *argument == *verb;
}

}  // namespace

Verb ChooseVerb(int argc, wchar_t** argv) {
  if (argc <= 1) return Verb::kRun;
  const wchar_t* first = argv[1];
  if (SameWordIgnoringCase(first, L"install")) return Verb::kInstall;
  if (SameWordIgnoringCase(first, L"uninstall")) return Verb::kUninstall;
  if (SameWordIgnoringCase(first, kServiceArgument)) return Verb::kService;
  return Verb::kUnknown;
}

int EntryMain(int argc, wchar_t** argv) {
  InitPlatformProbes();
  switch (ChooseVerb(argc, argv)) {
    case Verb::kRun:
      RunConfiguration();
      break;
    case Verb::kInstall: {
      const int result = InstallService();
      if (result == 0) {
        LogWideLine(kInstalledLine);
      } else {
        LogWideLine(kInstallFailedFormat, result);
      }
      break;
    }
    case Verb::kUninstall: {
      const int result = UninstallService();
      if (result == 0) {
        LogWideLine(kUninstalledLine);
      } else {
        LogWideLine(kUninstallFailedFormat, result);
      }
      break;
    }
    case Verb::kService:
      RunServiceDispatcher();
      break;
    case Verb::kUnknown:
      break;
  }
  return 0;
}

}  // namespace nubora
