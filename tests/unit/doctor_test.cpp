// nubora doctor on the machines of tests/data/doctor: each finding and the
// neighbours a careless check would flag, the mend of ghost addresses with
// its backup, and the .reg lines of each kind of value.
#include "nubora/doctor/doctor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "fakes.h"
#include "nubora/machine/adapters_file.h"
#include "nubora/machine/stand_ins.h"
#include "platform/text.h"

namespace nubora {
namespace {

using testing::DoctorData;

struct Case {
  const char* machine;
  const char* ini;
  const char* findings;  // "id severity section" of each, in order, "; " between
  int exitCode;
  const char* told;         // in the text output
  int looks = 1;            // of the address table: a second one waits 3 s
  const char* absent = "";  // never in it
};

const Case kCases[] = {
    // clang-format off
    {"healthy", "ipconfig_xen_vm", "", 0, "no finding"},
    {"healthy", "ipconfig_problems", "config error partial; config error lan again", 1, "the same MAC as [lan]"},
    {"ghost", "ipconfig_xen_vm", "ghost-address error lan", 1, "connection: Ethernet 2\n    description: Emulated Ethernet Adapter\n    interface: {6C1A3B0E-0000-4000-8000-00005E0053AA}\n    key: HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{6C1A3B0E-0000-4000-8000-00005E0053AA}\n    address: 192.0.2.10\n"},
    {"ghost_lower_keys", "ipconfig_xen_vm", "ghost-address error lan", 1, "description: Emulated Ethernet Adapter\n    interface: {6c1a3b0e-0000-4000-8000-00005e0053aa}"},
    {"lower_keys", "ipconfig_xen_vm", "apipa error lan; drift warning lan", 1, "169.254.7.7: a duplicate address: the static address was refused"},
    {"ghost_on_dhcp", "ipconfig_xen_vm", "", 0, ""},
    {"ghost_other_address", "ipconfig_xen_vm", "", 0, ""},
    {"ghost_disabled", "ipconfig_xen_vm", "", 0, ""},
    {"mac_absent", "ipconfig_xen_vm", "mac-absent error lan", 1, "hint: 1 non-present adapter(s) keep settings"},
    {"disabled_adapter", "ipconfig_xen_vm", "adapter-disabled error lan", 1, "description: Emulated Ethernet Adapter\n    interface: {00000001-0000-0000-0000-00005E005301}\n    mac: 00-00-5e-00-53-01\n    fix: netsh interface set interface name=\"lan0\" admin=enabled"},
    {"unbound_adapter", "ipconfig_xen_vm", "adapter-disabled error lan", 1, "(\"lan0\") has IPv4 unbound: a boot waits 210 s for it, then skips it"},
    {"apipa_dhcp_on", "ipconfig_xen_vm", "apipa error lan; drift warning lan", 1, "\"lan0\" carries 169.254.7.7: DHCP is left on"},
    {"apipa_refused", "ipconfig_xen_vm", "apipa error lan; duplicate-address error lan; drift warning lan", 1, "169.254.7.7: a duplicate address: the static address was refused"},
    {"apipa_on_dhcp_section", "ipconfig_xen_vm", "no-dhcp-lease warning mgmt", 1, "169.254.8.8\n    fix: ipconfig /renew \"mgmt0\"; if it still gets none, check the DHCP"},
    {"duplicate", "ipconfig_xen_vm", "duplicate-address error lan", 1, "192.0.2.10 is a duplicate"},
    {"tentative_stuck", "ipconfig_xen_vm", "duplicate-address warning lan", 1, "192.0.2.10 is still tentative 3 s later", 2},
    {"tentative_then_preferred", "ipconfig_xen_vm", "", 0, "", 2},
    {"tentative_then_duplicate", "ipconfig_xen_vm", "duplicate-address error lan", 1, "192.0.2.10 is a duplicate", 2},
    {"invalid_state", "ipconfig_xen_vm", "", 0, "no finding"},
    {"elsewhere_duplicate", "ipconfig_xen_vm", "", 0, "", 1},
    {"no_address_table", "ipconfig_xen_vm", "duplicate-address info ", 0, "not looked for", 0},
    {"drift", "ipconfig_xen_vm", "drift warning lan", 1, "command: c:\\windows\\system32\\netsh.exe interface ip set address name=\"lan0\" static 192.0.2.10 255.255.255.0 192.0.2.1\n"},
    {"drift", "ipconfig_injected", "config error lan; drift warning lan", 1, "fix: mend the misformed item first", 1, "command:"},
    {"services_broken", "ipconfig_xen_vm", "service error ; service error ; service error ; service error ", 1, "NuboraReport starts a file that is missing: c:\\windows\\nubora.exe"},
    {"service_missing", "ipconfig_xen_vm", "service error ", 1, "NuboraService is not registered"},
    {"last_boot", "ipconfig_xen_vm", "last-boot error ", 1, "the last boot's run: not configured (the file holds no section"},
    {"no_post_script", "ipconfig_xen_vm", "post-script info ", 0, "no post script"},
    // clang-format on
};

class DoctorFinds : public ::testing::TestWithParam<Case> {};

TEST_P(DoctorFinds, WhatTheMachineHolds) {
  const Case& c = GetParam();
  const std::vector<std::wstring> args = {DoctorData(std::string(c.ini) + ".ini"), L"--machine",
                                          DoctorData(std::string(c.machine) + ".ini")};
  std::string out, err;
  std::vector<std::wstring> json = args;
  json.push_back(L"--json");
  EXPECT_EQ(c.exitCode, DoctorCommand(json, out, err)) << err;
  std::string found;
  const nlohmann::json document = nlohmann::json::parse(out);
  for (const auto& finding : document["findings"]) {
    found += (found.empty() ? "" : "; ") + finding["id"].get<std::string>() + " " +
             finding["severity"].get<std::string>() + " " +
             (finding["section"].is_null() ? "" : finding["section"].get<std::string>());
  }
  EXPECT_EQ(c.findings, found);
  EXPECT_EQ(c.exitCode, DoctorCommand(args, out, err));
  EXPECT_NE(out.find(c.told), std::string::npos) << out;
  if (*c.absent != '\0') {
    EXPECT_EQ(out.find(c.absent), std::string::npos) << out;
  }
  DescribedMachine machine(testing::DoctorMachine(c.machine));
  Diagnose(args[0], L"", machine.View());
  EXPECT_EQ(c.looks, machine.looks);
}

INSTANTIATE_TEST_SUITE_P(Machines, DoctorFinds, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.machine) + "_" + info.param.ini;
                         });

// The ghost machine's registry and files, mended with `writeError` on every
// change, the backup at `backup` and the value `undeletable` refused.
struct Mend {
  unsigned long writeError;
  const char* backup;
  bool done;
  const char* told;
  const wchar_t* undeletable = L"";
  bool backupThere = false;  // a file already at `backup`, never replaced
};

TEST(DoctorMends, GhostAddressesAfterTheirBackupOrNotAtAll) {
  const std::string written = testing::TempPath("ghost-backup.reg");
  const Mend kMends[] = {
      // clang-format off
      {0, written.c_str(), true, "Interfaces\\{6C1A3B0E-0000-4000-8000-00005E0053AA}\\EnableDHCP to 1\n"},
      {5, written.c_str(), false, "(error 5: access denied): run as an administrator; nothing changed"},
      {0, "/nonexistent/folder/backup.reg", false, "cannot be written"},
      {0, written.c_str(), false, "(error 80: the file exists); nothing changed", L"", true},
      {0, written.c_str(), false, "Interfaces\\{6C1A3B0E-0000-4000-8000-00005E0053AA} left as it is now: DHCP not turned on", L"SubnetMask"},
      // clang-format on
  };
  const std::wstring ini = DoctorData("ipconfig_xen_vm.ini");
  for (const Mend& mend : kMends) {
    std::remove(written.c_str());
    SCOPED_TRACE(mend.told);
    if (mend.backupThere) std::ofstream(written) << "[ipconfig]\n";
    DescribedMachine machine(testing::DoctorMachine("ghost"));
    machine.writeError = mend.writeError;
    machine.undeletable = mend.undeletable;
    const auto before = machine.machine.registry;
    std::vector<std::wstring> lines;
    const std::wstring backup(mend.backup, mend.backup + std::strlen(mend.backup));
    EXPECT_EQ(mend.done, FixGhostAddresses(Diagnose(ini, L"", machine.View()).findings, backup,
                                           machine.View(), lines));
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\n";
    EXPECT_NE(text.find(std::wstring(mend.told, mend.told + std::strlen(mend.told))),
              std::wstring::npos)
        << Utf8(text);
    const std::wstring ghostKey =
        kInterfacesKey + std::wstring(L"{6C1A3B0E-0000-4000-8000-00005E0053AA}");
    if (!mend.done) {
      // DHCP is never turned on beside the addresses left.
      EXPECT_EQ(DwordValue(L"EnableDHCP", 0), machine.machine.registry[ghostKey].back());
      if (*mend.undeletable != L'\0') continue;  // backed up, mended in part
      EXPECT_EQ(before, machine.machine.registry);
      EXPECT_EQ(mend.backupThere ? "[ipconfig]\n" : "", testing::ReadFile(written));
      continue;
    }
    // Only the ghost's key changed: its static values gone, DHCP on.
    auto after = machine.machine.registry;
    EXPECT_EQ(std::vector<RegistryValue>{DwordValue(L"EnableDHCP", 1)}, after[ghostKey]);
    after[ghostKey] = before.at(ghostKey);
    EXPECT_EQ(before, after);
    std::ifstream file(written, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const std::wstring reg = FromUtf16(bytes, 2, false);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + ghostKey +
                  L"]\r\n"
                  L"\"IPAddress\"=hex(7):31,00,39,00,32,00,2e,00,30,00,2e,00,32,00,2e,00,31,00,"
                  L"30,00,00,00,00,00\r\n"
                  L"\"SubnetMask\"=hex(7):32,00,35,00,35,00,2e,00,32,00,35,00,35,00,2e,00,32,00,"
                  L"35,00,35,00,2e,00,30,00,00,00,00,00\r\n"
                  L"\"EnableDHCP\"=dword:00000000\r\n",
              reg);
    // A second look finds no ghost, and a second mend nothing to do.
    const Diagnosis again = Diagnose(ini, L"", machine.View());
    for (const Finding& finding : again.findings) EXPECT_STRNE("ghost-address", finding.id);
    lines.clear();
    EXPECT_TRUE(FixGhostAddresses(again.findings, backup, machine.View(), lines));
    EXPECT_EQ(std::vector<std::wstring>{L"no ghost address to clear"}, lines);
  }
}

// A name a .reg file cannot hold on one line (no line: refused with its
// whole key), so that no crafted name becomes a key of its own when the
// backup is imported.
TEST(DoctorBackup, WritesEachKindOfValueAsRegImportReadsItOrRefusesIt) {
  RegistryValue binary{L"Blob", kRegBinary, {0x00, 0xab, 0x10}};
  RegistryValue cut = TextValue(L"Cut", kRegSz, {L"ab"});
  cut.data.resize(3);  // an odd length: not text a quote can hold
  const struct {
    RegistryValue value;
    const wchar_t* line;
    std::wstring key = L"K";
  } kValues[] = {
      // clang-format off
      {DwordValue(L"x\r\n[HKEY_LOCAL_MACHINE\\Run]", 1), nullptr},
      {DwordValue(L"a\nb", 1), nullptr},
      {DwordValue(L"v", 1), nullptr, L"K\n[HKEY_LOCAL_MACHINE\\Run"},
      {DwordValue(L"v", 1), nullptr, L"K]"},
      {TextValue(L"Name", kRegSz, {L"a \"quoted\" c:\\path"}), L"\"Name\"=\"a \\\"quoted\\\" c:\\\\path\""},
      {TextValue(L"", kRegSz, {L"default"}), L"@=\"default\""},
      {TextValue(L"Greek", kRegSz, {L"\u0394\u20ac"}), L"\"Greek\"=\"\u0394\u20ac\""},
      {TextValue(L"Two lines", kRegSz, {L"x\ny"}), L"\"Two lines\"=hex(1):78,00,0a,00,79,00,00,00"},
      {cut, L"\"Cut\"=hex(1):61,00,62"},
      {DwordValue(L"Metric", 0x1234abcd), L"\"Metric\"=dword:1234abcd"},
      {binary, L"\"Blob\"=hex:00,ab,10"},
      {TextValue(L"Path", kRegExpandSz, {L"%A%"}), L"\"Path\"=hex(2):25,00,41,00,25,00,00,00"},
      {TextValue(L"List", kRegMultiSz, {L"a", L"b"}), L"\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
      // clang-format on
  };
  for (const auto& c : kValues) {
    SCOPED_TRACE(Utf8(c.key + L" " + c.value.name));
    MachineDescription description;
    description.registry[c.key] = {c.value};
    DescribedMachine machine(description);
    std::string bytes;
    unsigned long error = 0;
    const bool written = RegBackup(machine, {c.key}, bytes, error);
    EXPECT_EQ(c.line != nullptr, written);
    if (c.line == nullptr) {
      EXPECT_EQ(13u, error);
      continue;
    }
    EXPECT_EQ(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n" +
                  std::wstring(c.line) + L"\r\n",
              FromUtf16(bytes, 2, false));
  }
}

}  // namespace
}  // namespace nubora
