// The verbs' arguments: help and usage errors alike for every verb.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fakes.h"
#include "nubora/cli/verbs.h"
#include "nubora/doctor/doctor.h"
#include "nubora/preview/preview.h"
#include "nubora/report/report_command.h"
#include "nubora/status/status.h"
#include "platform/text.h"

namespace nubora {
namespace {

using Command = std::function<int(const std::vector<std::wstring>&, std::string&, std::string&)>;
const Command preview = PreviewCommand, status = StatusCommand, doctor = DoctorCommand,
              tool = ToolCommand;
const Command report = [](const std::vector<std::wstring>& args, std::string& out,
                          std::string& err) {
  return ReportCommand(args, NativeReportPlatform(), out, err);
};

TEST(VerbArguments, HelpAndUsageErrorsAreAlikeForEveryVerb) {
  const std::string codePage = ": --codepage needs a code page number";
  const std::wstring none = testing::DoctorData("nothing.ini"),
                     ini = testing::DoctorData("ipconfig_xen_vm.ini");
  const struct {
    Command command;
    std::vector<std::wstring> args;
    int exitCode;
    std::string out, err;  // first lines
  } cases[] = {
    // clang-format off
    {preview, {L"x.ini", L"--help"}, 0, "usage: nubora preview FILE.ini [--adapters ADAPTERS.ini|host] [--json]", ""},
    {status, {L"--run", L"-h"}, 0, "usage: nubora status [LOG] [--run N | --all] [--json] [--codepage N]", ""},
    {report, {L"--bogus", L"--help"}, 0, "usage: nubora report [LOG] [--console PORT|none] [--no-eventlog]", ""},
    {doctor, {L"--fix", L"-h"}, 0, "usage: nubora doctor [INI] [--machine FILE|host] [--json]", ""},
    {tool, {L"help"}, 0, "usage: nubora VERB ...", ""},
    {tool, {L"--version"}, 0, "nubora " NUBORA_PROJECT_VERSION, ""},
    {tool, {}, 2, "", "nubora: no verb given"},
    {tool, {L"--json"}, 2, "", "nubora: unknown verb --json"},
    {preview, {}, 2, "", "nubora preview: no INI file given"},
    {preview, {L"x.ini", L"--adapters"}, 2, "", "nubora preview: --adapters needs a file or 'host'"},
    {preview, {L"a.ini", L"b.ini"}, 2, "", "nubora preview: one INI file at a time"},
    {status, {L"x.log", L"--bogus"}, 2, "", "nubora status: unknown option --bogus"},
    {report, {L"-x", L"x.log"}, 2, "", "nubora report: unknown option -x"},
    {doctor, {L"a.ini", L"--machine"}, 2, "", "nubora doctor: --machine needs a value"},
    {doctor, {L"a.ini", L"--machine", L"m.ini", L"--backup", L"x.reg"}, 2, "", "nubora doctor: --backup goes with --fix"},
    {doctor, {L"a.ini", L"--fix", L"everything", L"--json"}, 2, "", "nubora doctor: --fix mends ghost-addresses only"},
    {doctor, {none, L"--machine", testing::DoctorData("healthy.ini")}, 2, "", "nubora doctor: no file at " + Utf8(none)},
    {doctor, {ini, L"--machine", none}, 2, "", "nubora doctor: cannot read the machine file " + Utf8(none)},
    {doctor, {ini, L"--machine", testing::DoctorData("../preview/bad_adapters.ini")}, 2, "", "nubora doctor: [lan0] MAC: six hexadecimal groups are needed"},
    {doctor, {ini, L"--machine", testing::DoctorData("../preview/bad_access.ini")}, 2, "", "nubora doctor: [access c:\\windows] ACE: 'allow S-1-5-32-545' is not allow|deny SID RIGHTS [inherit-only] [inherited]"},
    {status, {L"x.log", L"--codepage", L"70000"}, 2, "", "nubora status" + codePage},
    {report, {L"x.log", L"--codepage", L"0"}, 2, "", "nubora report" + codePage},
    {status, {L"x.log", L"--codepage"}, 2, "", "nubora status" + codePage},
    {report, {L"x.log", L"--codepage", L"4242"}, 2, "", "nubora report: code page 4242 is not known here"},
#if !defined(_WIN32)
    {status, {}, 2, "", "nubora status: no log given"},
    {report, {L"--wait-for-service", L"5"}, 2, "", "nubora report: no log given"},
    {doctor, {L"a.ini"}, 2, "", "nubora doctor: --machine FILE is needed here"},
    {doctor, {L"--machine", L"m.ini", L"--json"}, 2, "", "nubora doctor: no INI file given"},
#endif
    // clang-format on
  };
  for (const auto& c : cases) {
    std::string out, err;
    SCOPED_TRACE(c.err + c.out);
    EXPECT_EQ(c.command(c.args, out, err), c.exitCode);
    EXPECT_EQ(testing::FirstLine(out), c.out);
    EXPECT_EQ(testing::FirstLine(err), c.err);
    // A usage error is followed by the verb's help.
    EXPECT_EQ(err.find("\nusage: nubora ") != std::string::npos, c.exitCode == 2);
  }
}

// The synopses have one home, which both helps print.
TEST(VerbArguments, ToolHelpListsEveryVerbsSynopsis) {
  std::string help, out, err;
  EXPECT_EQ(tool({L"--help"}, help, err), 0);
  EXPECT_NE(
      help.find(
          "\n  nubora report [LOG] [--console PORT|none] [--no-eventlog]\n"
          "                [--wait-for-service [SECONDS]] [--codepage N]\n"
          "      tells the last run on the serial console and in the Event Log\n"
          "  nubora report --install-service [--allow-writable-folder] | --uninstall-service\n"),
      std::string::npos);
  report({L"-h"}, out, err);
  EXPECT_EQ(
      out.substr(0, out.find("\n  Tells")),
      "usage: nubora report [LOG] [--console PORT|none] [--no-eventlog]\n"
      "                     [--wait-for-service [SECONDS]] [--codepage N]\n"
      "       nubora report --install-service [--allow-writable-folder] | --uninstall-service");
  for (const Command& verb : {preview, status, report, doctor}) {
    verb({L"--help"}, out, err);
    const std::string synopsis = testing::FirstLine(out).substr(std::strlen("usage: "));
    EXPECT_NE(help.find("\n  " + synopsis + "\n"), std::string::npos) << synopsis;
  }
}

}  // namespace
}  // namespace nubora
