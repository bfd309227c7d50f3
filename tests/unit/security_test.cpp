// Who may change what LocalSystem reads and runs, on the healthy machine of
// tests/data/doctor with one change each: every fault and the neighbour that
// must stay quiet.
#include <gtest/gtest.h>

#include <fstream>

#include "fakes.h"
#include "nubora/doctor/doctor.h"
#include "nubora/machine/adapters_file.h"
#include "nubora/machine/stand_ins.h"
#include "platform/text.h"

namespace nubora {
namespace {

struct AccessCase {
  const char* machine;   // added to healthy.ini
  const char* findings;  // "severity id where" of each file-access and service finding
  const char* told;      // in the text output
};

const AccessCase kAccessCases[] = {
    // clang-format off
    {"[access c:\\windows]\nACE=allow S-1-5-32-545 RX", "", ""},
    {"[access c:\\windows]\nACE=allow S-1-5-32-545 W", "error file-access c:\\windows; ", "Users (S-1-5-32-545) may add files to, add folders to c:\\windows, the folder of what"},
    {"[access c:\\windows\\ipconfig_xen_vm.ini]\nACE=allow S-1-5-11 AD", "error file-access c:\\windows\\ipconfig_xen_vm.ini; ", "Authenticated Users (S-1-5-11) may append"},
    {"[access c:\\windows\\ipconfig_post.bat]\nACE=allow S-1-5-32-545 0x2 inherited", "error file-access c:\\windows\\ipconfig_post.bat; ", "fix: mend the folder it is inherited from, or icacls \"c:\\windows\\ipconfig_post.bat\" /inheritance:d, then icacls \"c:\\windows\\ipconfig_post.bat\" /grant:r *S-1-5-32-545:(RX)"},
    {"[access c:\\windows]\nOWNER=S-1-5-21-1-2-3-1001", "error file-access c:\\windows; ", "/setowner *S-1-5-32-544"},
    // Deny entries: only an earlier one, for the same SID or Everyone, and
    // only the rights it covers.
    {"[access c:\\windows\\ipconfig_service.log]\nACE=deny S-1-5-32-545 W\nACE=allow S-1-5-32-545 W", "", ""},
    {"[access c:\\windows\\ipconfig_service.log]\nACE=deny S-1-1-0 W\nACE=allow S-1-5-32-545 W", "", ""},
    {"[access c:\\windows\\ipconfig_service.log]\nACE=allow S-1-5-32-545 W\nACE=deny S-1-5-32-545 W", "error file-access c:\\windows\\ipconfig_service.log; ", ""},
    {"[access c:\\windows\\ipconfig_service.log]\nACE=deny S-1-5-32-545 RX\nACE=allow S-1-5-32-545 W", "error file-access c:\\windows\\ipconfig_service.log; ", ""},
    {"[access c:\\windows]\nACE=allow S-1-5-32-545 F inherit-only\nACE=allow S-1-3-0 F", "", ""},
    {"[access c:\\windows\\ipconfig_service.log]\nACE=allow S-1-5-32-545 W inherit-only\nACE=allow S-1-5-32-545 W", "error file-access c:\\windows\\ipconfig_service.log; ", ""},
    // The drive's root above c:\windows, and the entry as its mask.
    {"[access c:\\]\nACE=allow S-1-5-32-545 DC", "error file-access c:\\; ", "ace: allow S-1-5-32-545 0x00000040"},
    // Generic rights as files map them; the message file.
    {"[event source NuboraService]\nMESSAGEFILE=c:\\windows\\nubora.exe\n[access c:\\windows\\nubora.exe]\nACE=allow S-1-1-0 0x40000000", "error file-access c:\\windows\\nubora.exe; ", "the event source's message file"},
    {"[service NuboraService]\nIMAGEPATH=c:\\program files\\nubora\\NuboraService.exe", "error service NuboraService; ", "Windows first tries to start c:\\program.exe as LocalSystem"},
    {"[service NuboraService]\nIMAGEPATH=\"c:\\program files\\nubora\\NuboraService.exe\"", "", ""},
    {"[machine]\nSYSTEM_FOLDER=d:\\windows", "error file-access d:\\windows; ", "Windows runs from d:\\windows, not c:\\windows"},
    // The executable's folders: its own, and one above that only adds beside the path.
    {"[service NuboraService]\nIMAGEPATH=\"c:\\nubora\\bin\\NuboraService.exe\"\n[access c:\\nubora]\nACE=allow S-1-5-32-545 DC", "error file-access c:\\nubora; ", "may delete what is in c:\\nubora, a folder above"},
    {"[service NuboraService]\nIMAGEPATH=\"c:\\nubora\\bin\\NuboraService.exe\"\n[access c:\\nubora]\nACE=allow S-1-5-32-545 AD", "", ""},
    {"[service NuboraService]\nIMAGEPATH=\"c:\\nubora\\bin\\NuboraService.exe\"\n[access c:\\nubora\\bin]\nACE=allow S-1-5-32-545 AD", "error file-access c:\\nubora\\bin; ", "where Windows looks first for IPHLPAPI.DLL"},
    // Absent: the folder above decides, by who may create it.
    {"[service NuboraService]\nIMAGEPATH=\"c:\\nubora\\bin\\NuboraService.exe\"\n[machine]\nMISSING=c:\\nubora\\bin\\NuboraService.exe,c:\\nubora\\bin\n[access c:\\nubora]\nACE=allow S-1-5-32-545 AD", "error service NuboraService; error file-access c:\\nubora; ", "absent: c:\\nubora\\bin\\NuboraService.exe"},
    // clang-format on
};

class AccessFinds : public ::testing::TestWithParam<AccessCase> {};

TEST_P(AccessFinds, WhoMayChangeWhatLocalSystemRuns) {
  const AccessCase& c = GetParam();
  const std::string data = NUBORA_TEST_DATA_DIR "/doctor/";
  // Its own file: ctest runs the cases side by side.
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string file = testing::TempPath("access-") + name.substr(name.rfind('/') + 1) + ".ini";
  std::ofstream(file) << testing::ReadFile(data + "healthy.ini") << "\n" << c.machine << "\n";
  MachineDescription description;
  std::wstring error;
  ASSERT_TRUE(LoadMachineFile(Widened(file.c_str()), description, error)) << Utf8(error);
  DescribedMachine machine(description);
  const Diagnosis diagnosis =
      Diagnose(Widened((data + "ipconfig_xen_vm.ini").c_str()), L"", machine.View());
  std::wstring found;
  for (const Finding& finding : diagnosis.findings) {
    if (finding.id != std::string("file-access") && finding.id != std::string("service")) continue;
    found += Widened(SeverityText(finding.severity)) + L" " + Widened(finding.id) + L" " +
             finding.evidence[0].second + L"; ";
  }
  EXPECT_EQ(Widened(c.findings), found);
  EXPECT_NE(FindingsText(diagnosis).find(Widened(c.told)), std::wstring::npos)
      << Utf8(FindingsText(diagnosis));
}

INSTANTIATE_TEST_SUITE_P(Machines, AccessFinds, ::testing::ValuesIn(kAccessCases));

}  // namespace
}  // namespace nubora
