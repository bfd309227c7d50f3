// Who but the machine's administrators may change what LocalSystem reads,
// writes or runs: the Windows folder, the INI file, the post script, the
// log, both services' executables and every folder above them, the event
// source's message file; an unquoted service command line with a blank;
// Windows running from a folder other than the one the service reads by name.
//
// The ACL is read as Windows reads it, simply: an allow entry's rights count
// unless an earlier deny entry for the same SID or for Everyone covers them
// (a deny for some other group is not taken to cover a member). Entries for
// what a folder holds only (inherit-only) do not apply to the folder itself.
// CREATOR OWNER matches no one on the object; on what is created below it
// becomes the creator, who needed the right to create it, judged here.
// OWNER RIGHTS is the owner. The owner may always change the ACL. An absent
// file or folder: the rights of the nearest folder above that exists to
// create it decide.
#include <cwchar>
#include <map>

#include "netconfig/paths.h"
#include "nubora/doctor/access.h"
#include "nubora/doctor/checks.h"
#include "nubora/runtext/run_text.h"
#include "platform/identity.h"
#include "platform/system_errors.h"

namespace nubora {
namespace {

constexpr std::uint32_t kWrite = 0x2;   // a folder's: add a file
constexpr std::uint32_t kAppend = 0x4;  // a folder's: add a folder
constexpr std::uint32_t kDeleteChild = 0x40;
constexpr std::uint32_t kDelete = 0x10000, kWriteDac = 0x40000, kWriteOwner = 0x80000;
constexpr std::uint32_t kFileRights = kWrite | kAppend | kDelete | kWriteDac | kWriteOwner;
// A folder that holds what is used: what is put in it is used too.
constexpr std::uint32_t kHoldingRights = kFileRights | kDeleteChild;
// A folder above: adding beside the path changes nothing on it, replacing a
// folder on it does.
constexpr std::uint32_t kUpperRights = kDeleteChild | kDelete | kWriteDac | kWriteOwner;
// The nearest folder above an absent path: creating it.
constexpr std::uint32_t kCreateRights = kWrite | kAppend | kUpperRights;

constexpr wchar_t kEveryone[] = L"S-1-1-0", kCreatorOwner[] = L"S-1-3-0",
                  kOwnerRights[] = L"S-1-3-4";

// Generic rights as files map them.
std::uint32_t Mapped(std::uint32_t mask) {
  if (mask & 0x10000000) mask |= 0x1F01FF;  // GENERIC_ALL: FILE_ALL_ACCESS
  if (mask & 0x40000000) mask |= 0x120116;  // GENERIC_WRITE: FILE_GENERIC_WRITE
  return mask;
}

bool Trusted(const std::wstring& sid) {
  return sid == kAdministratorsSid || sid == kSystemSid || sid == kTrustedInstallerSid;
}

std::wstring Who(const std::wstring& sid) {
  static const wchar_t* const kNames[][2] = {
      {L"S-1-1-0", L"Everyone"},    {L"S-1-5-11", L"Authenticated Users"},
      {L"S-1-5-32-545", L"Users"},  {L"S-1-5-32-546", L"Guests"},
      {L"S-1-5-4", L"INTERACTIVE"}, {L"S-1-3-4", L"OWNER RIGHTS"}};
  for (const auto& name : kNames) {
    if (sid == name[0]) return std::wstring(name[1]) + L" (" + sid + L")";
  }
  return sid;
}

std::wstring RightsText(std::uint32_t rights, bool folder) {
  static const struct {
    std::uint32_t right;
    const wchar_t* file;
    const wchar_t* folder;
  } kNames[] = {{kWrite, L"write", L"add files to"},
                {kAppend, L"append to", L"add folders to"},
                {kDeleteChild, L"", L"delete what is in"},
                {kDelete, L"delete", L"delete or rename"},
                {kWriteDac, L"change the ACL of", L"change the ACL of"},
                {kWriteOwner, L"take ownership of", L"take ownership of"}};
  std::wstring text;
  for (const auto& name : kNames) {
    if ((rights & name.right) == 0 || (!folder && name.right == kDeleteChild)) continue;
    text += (text.empty() ? L"" : L", ") + std::wstring(folder ? name.folder : name.file);
  }
  return text;
}

// The one place these findings are made.
Finding AccessFinding(const char* id, Severity severity, std::wstring summary,
                      Finding::Evidence evidence, std::wstring fix) {
  Finding finding;
  finding.id = id;
  finding.severity = severity;
  finding.summary = std::move(summary);
  finding.evidence = std::move(evidence);
  finding.fix = std::move(fix);
  return finding;
}

// The folder holding `path`; empty for a drive's root or a bare name.
std::wstring Parent(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash + 1 == path.size()) return L"";
  return slash == 2 && path[1] == L':' ? path.substr(0, 3) : path.substr(0, slash);
}

// Something LocalSystem uses, and the rights that change it.
struct Target {
  std::wstring path;
  std::uint32_t rights;
  std::wstring role;  // what it is to LocalSystem
  bool folder;
};

class AccessCheck {
 public:
  AccessCheck(FileSecurity& security, std::vector<Finding>& out) : security_(security), out_(out) {}

  void Check(const Target& target) {
    if (!supported_ || target.path.empty()) return;
    Target judged = target;
    Finding::Evidence evidence;
    FileAccess access;
    for (;;) {
      const unsigned long error = security_.Read(judged.path, access);
      if (error == 0) break;
      if (error == 50) {
        supported_ = false;
        out_.push_back(AccessFinding(
            "file-access", Severity::kInfo,
            L"who may change what LocalSystem runs is not looked at (" + ErrorText(error) + L")",
            {}, L"none here"));
        return;
      }
      const std::wstring parent = Parent(judged.path);
      if ((error != 2 && error != 3) || parent.empty()) {
        out_.push_back(AccessFinding(
            "file-access", Severity::kWarning,
            L"who may change " + judged.path + L" cannot be read (" + ErrorText(error) + L")",
            {{"path", judged.path}}, L"run as an administrator"));
        return;
      }
      if (evidence.empty()) {
        evidence.push_back({"absent", target.path});
        judged.role = L"where " + target.path + L" is absent, " + target.role;
      }
      judged = {parent, kCreateRights, judged.role, true};
    }
    evidence.insert(evidence.begin(), {"path", judged.path});
    std::uint32_t& seen = checked_[Lowered(judged.path)];
    if (seen == 0 && !Trusted(access.owner)) {
      Finding::Evidence owned = evidence;
      owned.push_back({"owner", access.owner});
      out_.push_back(AccessFinding(
          "file-access", Severity::kError,
          judged.path + L", " + judged.role + L", is owned by " + Who(access.owner) +
              L", who may change its ACL",
          owned, L"icacls \"" + judged.path + L"\" /setowner *" + kAdministratorsSid));
    }
    judged.rights &= ~seen;
    seen |= judged.rights;
    if (judged.rights != 0) Judge(judged, access, evidence);
  }

  void Executable(const std::wstring& path, const std::wstring& service) {
    if (path.empty()) return;
    Check({path, kFileRights, service + L"'s executable, run as LocalSystem", false});
    std::wstring folder = Parent(path);
    Check(
        {folder, kHoldingRights,
         L"the folder of " + service + L"'s executable, where Windows looks first for IPHLPAPI.DLL",
         true});
    for (folder = Parent(folder); !folder.empty(); folder = Parent(folder)) {
      Check({folder, kUpperRights, L"a folder above " + service + L"'s executable", true});
    }
  }

 private:
  void Judge(const Target& target, const FileAccess& access, const Finding::Evidence& evidence) {
    const std::vector<AccessEntry>& entries = access.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const AccessEntry& entry = entries[i];
      if (!entry.allow || entry.inheritOnly || entry.sid == kCreatorOwner || Trusted(entry.sid) ||
          (entry.sid == kOwnerRights && Trusted(access.owner))) {
        continue;
      }
      std::uint32_t granted = Mapped(entry.mask) & target.rights;
      for (std::size_t j = 0; j < i; ++j) {
        const AccessEntry& deny = entries[j];
        if (!deny.allow && !deny.inheritOnly && (deny.sid == entry.sid || deny.sid == kEveryone)) {
          granted &= ~Mapped(deny.mask);
        }
      }
      if (granted == 0) continue;
      wchar_t mask[16];
      std::swprintf(mask, 16, L"0x%08lx", static_cast<unsigned long>(entry.mask));
      Finding::Evidence told = evidence;
      told.push_back(
          {"ace", L"allow " + entry.sid + L" " + mask + (entry.inherited ? L" inherited" : L"")});
      const std::wstring quoted = L"\"" + target.path + L"\"";
      std::wstring fix = L"icacls " + quoted + L" /grant:r *" + entry.sid +
                         (target.folder ? L":(OI)(CI)(RX)" : L":(RX)") +
                         L" (leaves read and execute)";
      if (entry.inherited) {
        fix = L"mend the folder it is inherited from, or icacls " + quoted +
              L" /inheritance:d, then " + fix;
      }
      out_.push_back(AccessFinding("file-access", Severity::kError,
                                   Who(entry.sid) + L" may " + RightsText(granted, target.folder) +
                                       L" " + target.path + L", " + target.role,
                                   told, fix));
    }
  }

  FileSecurity& security_;
  std::vector<Finding>& out_;
  std::map<std::wstring, std::uint32_t> checked_;  // the rights judged, by lower-case path
  bool supported_ = true;
};

// Windows starts an unquoted command line's first blank-ended word + .exe
// that exists: c:\program.exe before c:\program files\...
void CheckImagePath(const std::wstring& service, const std::wstring& imagePath,
                    std::vector<Finding>& out) {
  if (imagePath.empty() || imagePath[0] == L'"') return;
  const std::wstring file = ImageFile(imagePath);
  const std::size_t blank = file.find_first_of(L" \t");
  if (blank == std::wstring::npos) return;
  const std::wstring first = file.substr(0, blank) + L".exe";
  out.push_back(AccessFinding(
      "service", Severity::kError,
      service + L"'s ImagePath is not quoted and holds a blank: Windows first tries to start " +
          first + L" as LocalSystem",
      {{"service", service}, {"image_path", imagePath}, {"runs_first", first}},
      L"sc config " + service + L" binPath= \"\\\"" + file + L"\\\"" +
          imagePath.substr(file.size()) + L"\""));
}

}  // namespace

std::vector<Finding> ExecutableAccess(const std::wstring& path, const std::wstring& service,
                                      const MachinePlatform& machine) {
  std::vector<Finding> out;
  if (machine.security == nullptr) return out;
  AccessCheck check(*machine.security, out);
  check.Executable(path, service);
  return out;
}

void CheckFileAccess(const MachinePlatform& machine, std::vector<Finding>& out) {
  if (machine.security == nullptr) return;
  std::wstring system;
  if (machine.security->SystemFolder(system) == 0 && Lowered(system) != kWindowsFolder) {
    out.push_back(AccessFinding(
        "file-access", Severity::kError,
        L"Windows runs from " + system + L", not " + kWindowsFolder +
            L": NuboraService still reads and runs " + kConfigPath + L" and " + kPostScriptPath +
            L", where users may be able to create them",
        {{"system_folder", system}},
        std::wstring(L"md c:\\windows if it is absent, then icacls c:\\windows /setowner *") +
            kAdministratorsSid + L" and icacls c:\\windows /inheritance:r /grant:r *" +
            kAdministratorsSid + L":(OI)(CI)F *" + kSystemSid +
            L":(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"));
  }
  AccessCheck check(*machine.security, out);
  check.Check({kWindowsFolder, kHoldingRights,
               L"the folder of what NuboraService reads, runs and writes as LocalSystem", true});
  check.Check({kConfigPath, kFileRights,
               L"the INI file whose commands NuboraService runs as LocalSystem", false});
  check.Check(
      {kPostScriptPath, kFileRights, L"the post script NuboraService runs as LocalSystem", false});
  check.Check({kLogPath, kFileRights, L"the log NuboraService writes as LocalSystem", false});
  for (const wchar_t* name : {kServiceName, kReportServiceName}) {
    ServiceConfig config;
    if (machine.services->Query(name, config) != 0) continue;
    CheckImagePath(name, config.imagePath, out);
    check.Executable(ImageFile(config.imagePath), name);
  }
  check.Check({TextOf(*machine.registry, kEventSourcesKey + std::wstring(kEventSource),
                      kEventMessageFileValue),
               kFileRights, L"the event source's message file, which Event Viewer loads", false});
}

}  // namespace nubora
