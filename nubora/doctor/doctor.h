#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/machine.h"

namespace nubora {

// nubora doctor: what stands now between this machine and the network its INI
// file asks for, and how to mend it; changes nothing unless asked to mend
// ghost addresses. Exit code: 0 when nothing worse than info is found, 1 for a
// warning or an error (or a mend that failed), 2 for a usage error, an INI
// file or machine description that cannot be read, or a next boot's run that
// cannot be played.
int DoctorCommand(const std::vector<std::wstring>& args, std::string& out, std::string& err);

enum class Severity { kInfo, kWarning, kError };

// One finding, its fields set by name (`finding.fix = ...`); unset, an error
// of the machine's own.
struct Finding {
  using Evidence = std::vector<std::pair<const char*, std::wstring>>;  // name, value
  const char* id = "";  // ghost-address, mac-absent, apipa, ...
  Severity severity = Severity::kError;
  std::wstring section;  // the INI section it stands in the way of; empty: the machine's
  std::wstring summary;
  Evidence evidence;
  std::vector<std::wstring> commands;  // drift: what the next boot runs
  std::wstring fix;
  std::wstring interfaceGuid;  // ghost-address: the key a mend clears
};

struct Diagnosis {
  std::vector<Finding> findings;
  std::vector<std::wstring> sections;  // the INI's sections, in file order
  unsigned long adaptersError = 0;     // not 0: the adapters cannot be listed, nothing found
  bool runPlayed = false;              // false: the next boot's run not played (no drift told)
};

// Every finding on `machine` for the INI file at `ini`; `log` is the
// service's log (empty: the last boot is not looked at).
Diagnosis Diagnose(const std::wstring& ini, const std::wstring& log,
                   const MachinePlatform& machine);

// Findings grouped by section, the machine's last, with a count line.
std::wstring FindingsText(const Diagnosis& diagnosis);
// The severity's word: info, warning, error.
const char* SeverityText(Severity severity);
int FindingsExitCode(const std::vector<Finding>& findings);

// The .reg file (for `reg import`) holding each key with all its values,
// UTF-16LE with a byte-order mark; false when a key cannot be read.
bool RegBackup(Registry& registry, const std::vector<std::wstring>& keys, std::string& bytes,
               unsigned long& error);

// Clears each ghost address's interface key after writing every such key to
// `backup`: deletes its static values and turns DHCP on. Nothing is changed
// when a key cannot be written or the backup cannot. Each line says what was
// done or why not; false when something could not be done.
bool FixGhostAddresses(const std::vector<Finding>& findings, const std::wstring& backup,
                       const MachinePlatform& machine, std::vector<std::wstring>& lines);

}  // namespace nubora
