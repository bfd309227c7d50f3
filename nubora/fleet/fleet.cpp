#include "nubora/fleet/fleet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "logread/run_verdict.h"
#include "nubora/cli/arguments.h"
#include "nubora/doctor/doctor.h"
#include "nubora/report/report_lines.h"
#include "platform/capture_files.h"
#include "platform/code_page.h"
#include "platform/log_file.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {

namespace {
const char kNoReport[] = "no report";
const char kUnreadable[] = "unreadable";
}  // namespace

std::vector<std::string> WorstFirst() {
  return {kUnreadable,
          kNoReport,
          Utf8(kNotRunVerdict),
          Utf8(kUnknownVerdict),
          VerdictText(Verdict::kIncomplete),
          VerdictText(Verdict::kNotConfigured),
          VerdictText(Verdict::kPartlyConfigured),
          VerdictText(Verdict::kNothingToConfigure),
          VerdictText(Verdict::kConfigured)};
}

std::string VerdictOf(const FleetVm& vm) {
  if (vm.error != 0) return kUnreadable;
  return vm.report.present ? vm.report.verdict : kNoReport;
}

namespace {

using Json = nlohmann::ordered_json;

const wchar_t kFleetExplanation[] =
    L"  Each VM's last boot report as the host captured its serial console: the\n"
    L"  verdict, interim or final, cut, the doctor's findings, when the capture\n"
    L"  was last written. One line per VM, worst first.\n"
    L"  PATH       a capture file or a folder of them; NAME.0, NAME.1 are older\n"
    L"             parts of NAME\n"
    L"  --map FILE lines \"UUID NAME\" or \"CAPTURE UUID [NAME]\": the VM of each\n"
    L"             capture (else a UUID in its path, else its file name)\n"
    L"  --json     the same as one JSON document\n"
    L"  --prom FILE  the metrics for node_exporter's textfile collector, written\n"
    L"             whole (a new file renamed over FILE)\n"
    L"  --stale S  marks a VM whose capture was not written for S seconds\n"
    L"  exit code: 0 every VM configured or nothing to configure, 1 otherwise,\n"
    L"  2 usage error or unreadable input\n";

bool Healthy(const FleetVm& vm) {
  const std::string verdict = VerdictOf(vm);
  return verdict == VerdictText(Verdict::kConfigured) ||
         verdict == VerdictText(Verdict::kNothingToConfigure);
}

// 8-4-4-4-12 hexadecimal digits at `at`.
bool UuidAt(const std::wstring& text, std::size_t at) {
  static const char form[] = "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx";
  if (text.size() - at < sizeof form - 1) return false;
  for (std::size_t i = 0; i + 1 < sizeof form; ++i) {
    const wchar_t c = text[at + i];
    if (form[i] == '-' ? c != L'-' : !std::iswxdigit(c)) return false;
  }
  return true;
}

// The first UUID in the file's name, else in its folders' from the nearest.
std::string UuidInPath(const std::wstring& path) {
  std::size_t end = path.size();
  while (end != 0) {
    const std::size_t slash = path.find_last_of(L"/\\", end - 1);
    const std::size_t begin = slash == std::wstring::npos ? 0 : slash + 1;
    for (std::size_t at = begin; at < end; ++at) {
      if (UuidAt(path, at)) return Utf8(Lowered(path.substr(at, 36)));
    }
    if (slash == std::wstring::npos) break;
    end = slash;
  }
  return "";
}

std::wstring BaseName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"/\\");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The number N of a rotated part NAME.N of `name`, or -1.
long PartNumber(const std::wstring& file, const std::wstring& name) {
  if (file.size() <= name.size() + 1 || file.compare(0, name.size(), name) != 0 ||
      file[name.size()] != L'.') {
    return -1;
  }
  std::uint64_t number = 0;
  return ParseDigits(file.substr(name.size() + 1), number) && number < 1000
             ? static_cast<long>(number)
             : -1;
}

// NAME's rotated parts among `names`, newest first, after NAME itself.
std::vector<std::wstring> Parts(const std::wstring& folder, const std::wstring& name,
                                const std::vector<std::wstring>& names) {
  std::vector<std::pair<long, std::wstring>> numbered;
  for (const std::wstring& each : names) {
    const long number = PartNumber(each, name);
    if (number >= 0) numbered.emplace_back(number, each);
  }
  std::sort(numbered.begin(), numbered.end());
  std::vector<std::wstring> parts{folder + name};
  for (const auto& each : numbered) parts.push_back(folder + each.second);
  return parts;
}

struct MapEntry {
  std::string uuid, name;
};
using VmMap = std::map<std::string, MapEntry>;  // by UUID or capture file name

bool ReadMap(const std::wstring& path, VmMap& map, std::wstring& why) {
  SharedReadFile file;
  unsigned long error = 0;
  if (!file.Open(path, error) || file.Size() > kCaptureTailLimit * 16) {
    why = L"cannot read " + path + L" (" + ErrorText(error ? error : kErrorInvalidData) + L")";
    return false;
  }
  std::string bytes(static_cast<std::size_t>(file.Size()), '\0');
  bytes.resize(file.ReadAt(0, &bytes[0], bytes.size()));
  std::size_t begin = 0;
  for (std::size_t number = 1; begin < bytes.size(); ++number) {
    std::size_t end = bytes.find('\n', begin);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(begin, end - begin);
    begin = end + 1;
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t gap = line.find_first_of(" \t");
    const std::string key = line.substr(0, gap);
    std::string rest =
        gap == std::string::npos ? "" : line.substr(line.find_first_not_of(" \t", gap));
    MapEntry entry;
    if (UuidAt(FromUtf8(key), 0) && key.size() == 36) {
      entry = {Utf8(Lowered(FromUtf8(key))), rest};
    } else {
      const std::size_t next = rest.find_first_of(" \t");
      const std::string uuid = rest.substr(0, next);
      if (uuid.size() != 36 || !UuidAt(FromUtf8(uuid), 0)) {
        why = path + L" line " + Number(number) + L": no UUID";
        return false;
      }
      entry.uuid = Utf8(Lowered(FromUtf8(uuid)));
      if (next != std::string::npos) entry.name = rest.substr(rest.find_first_not_of(" \t", next));
    }
    map[entry.uuid == Utf8(Lowered(FromUtf8(key))) ? entry.uuid : key] = entry;
  }
  return true;
}

FleetVm ReadVm(const std::vector<std::wstring>& parts, const VmMap& map, std::int64_t now,
               std::uint64_t stale) {
  FleetVm vm;
  vm.file = parts[0];
  const std::wstring name = BaseName(parts[0]);
  vm.uuid = UuidInPath(parts[0]);
  auto found = map.find(Utf8(name));
  if (found == map.end() && !vm.uuid.empty()) found = map.find(vm.uuid);
  if (found != map.end()) {
    vm.uuid = found->second.uuid;
    vm.vm = found->second.name;
  }
  // The file's name without ".log" when there is no better.
  const bool log = name.size() > 4 && name.compare(name.size() - 4, 4, L".log") == 0;
  if (vm.vm.empty())
    vm.vm = !vm.uuid.empty() ? vm.uuid : Utf8(name.substr(0, name.size() - (log ? 4 : 0)));
  std::string bytes;
  bool atStart = false;
  vm.error = ReadCaptureTail(parts, bytes, atStart);
  if (vm.error == 0) vm.error = WrittenTime(parts[0], vm.written);
  if (vm.error != 0) return vm;
  vm.report = ReadBootReport(bytes, atStart);
  vm.stale =
      stale != 0 && vm.report.present && now - vm.written >= static_cast<std::int64_t>(stale);
  return vm;
}

std::string IsoUtc(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts = {};
#if defined(_WIN32)
  gmtime_s(&parts, &time);
#else
  gmtime_r(&time, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string VmLine(const FleetVm& vm) {
  std::string line = vm.vm + ": " + VerdictOf(vm);
  const BootReport& report = vm.report;
  if (vm.error != 0) return line + " (" + Utf8(ErrorText(vm.error)) + "); " + Utf8(vm.file);
  if (report.present && !report.reason.empty()) line += ": " + report.reason;
  if (report.newerBoot)
    line += " (output of a later boot follows the report of " + report.clock + ")";
  if (report.present) {
    line += "; report " + report.clock;
    if (report.interim) line += ", interim";
    if (report.cut) line += ", cut";
    line += "; doctor " + std::to_string(report.errors) + " errors, " +
            std::to_string(report.warnings) + " warnings";
  }
  line += "; written " + IsoUtc(vm.written);
  if (vm.stale) line += ", stale";
  return line + "; " + Utf8(vm.file);
}

Json VmJson(const FleetVm& vm) {
  const BootReport& report = vm.report;
  Json findings = Json::array();
  for (const std::string& line : report.findings) findings.push_back(line);
  return {
      {"vm", vm.vm},
      {"uuid", vm.uuid.empty() ? Json() : Json(vm.uuid)},
      {"file", Utf8(vm.file)},
      {"verdict", VerdictOf(vm)},
      {"reason", report.present && !report.reason.empty() ? Json(report.reason) : Json()},
      {"report_time", report.present ? Json(report.clock) : Json()},
      {"interim", report.present && report.interim},
      {"cut", report.present && report.cut},
      {"later_boot", report.newerBoot},
      {"findings", {{"errors", report.errors}, {"warnings", report.warnings}, {"lines", findings}}},
      {"written", vm.error == 0 ? Json(IsoUtc(vm.written)) : Json()},
      {"stale", vm.stale},
      {"error", vm.error != 0 ? Json(Utf8(ErrorText(vm.error))) : Json()}};
}

}  // namespace

int FleetCommand(const std::vector<std::wstring>& argv, std::string& out, std::string& err) {
  Arguments args(kFleetSynopsis, kFleetExplanation, argv);
  std::vector<std::wstring> paths;
  std::wstring mapFile, promFile;
  bool json = false;
  std::uint64_t stale = 0;
  while (args.Next()) {
    if (args.Is(L"--json")) {
      json = true;
    } else if (args.Is(L"--map")) {
      args.Value(mapFile, L"--map needs a file");
    } else if (args.Is(L"--prom")) {
      args.Value(promFile, L"--prom needs a file");
    } else if (args.Is(L"--stale")) {
      args.Number(1, 100ull * 365 * 86400, stale, L"--stale needs a number of seconds");
    } else {
      std::wstring path;
      args.Operand(path, L"");
      if (!path.empty()) paths.push_back(path);
    }
  }
  if (paths.empty()) args.Fail(L"no capture given");
  int exitCode = 0;
  if (args.Done(out, err, exitCode)) return exitCode;

  VmMap map;
  std::wstring why;
  if (!mapFile.empty() && !ReadMap(mapFile, map, why)) {
    err += ToMultibyte(L"nubora fleet: " + why + L"\n");
    return kUsageErrorExit;
  }
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  std::vector<FleetVm> vms;
  for (const std::wstring& path : paths) {
    std::vector<std::wstring> names;
    if (!IsFolder(path)) {
      const std::size_t slash = path.find_last_of(L"/\\");
      const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
      FolderFiles(folder, names);  // no siblings when it cannot be listed
      vms.push_back(
          ReadVm(Parts(path.substr(0, slash + 1), BaseName(path), names), map, now, stale));
      continue;
    }
    const unsigned long error = FolderFiles(path, names);
    if (error != 0) {
      FleetVm vm;
      vm.vm = Utf8(BaseName(path));
      vm.file = path;
      vm.error = error;
      vms.push_back(vm);
      continue;
    }
    // Each NAME.N whose NAME is there is a part of it, read with it.
    const std::set<std::wstring> all(names.begin(), names.end());
    std::map<std::wstring, std::vector<std::wstring>> parts;
    std::vector<std::wstring> captures;
    for (const std::wstring& name : names) {
      const std::size_t dot = name.rfind(L'.');
      const std::wstring base = dot == std::wstring::npos ? L"" : name.substr(0, dot);
      if (!base.empty() && PartNumber(name, base) >= 0 && all.count(base) != 0) {
        parts[base].push_back(name);
      } else {
        captures.push_back(name);
      }
    }
    std::sort(captures.begin(), captures.end());
    const std::wstring folder = path + (path.back() == L'/' || path.back() == L'\\' ? L"" : L"/");
    for (const std::wstring& name : captures) {
      vms.push_back(ReadVm(Parts(folder, name, parts[name]), map, now, stale));
    }
  }
  const std::vector<std::string> order = WorstFirst();
  const auto rank = [&order](const FleetVm& vm) {
    return std::find(order.begin(), order.end(), VerdictOf(vm)) - order.begin();
  };
  std::stable_sort(vms.begin(), vms.end(), [&](const FleetVm& a, const FleetVm& b) {
    return rank(a) != rank(b) ? rank(a) < rank(b) : a.vm < b.vm;
  });
  bool unreadable = false, healthy = true;
  Json list = Json::array();
  for (const FleetVm& vm : vms) {
    unreadable = unreadable || vm.error != 0;
    healthy = healthy && Healthy(vm);
    if (json) {
      list.push_back(VmJson(vm));
    } else {
      out += ToMultibyte(FromUtf8(VmLine(vm) + "\n"));
    }
  }
  if (json) {
    out = Json{{"vms", list}}.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  }
  if (!promFile.empty()) {
    const unsigned long error = ReplaceWhole(promFile, FleetMetrics(vms, now));
    if (error != 0) {
      err += ToMultibyte(L"nubora fleet: cannot write " + promFile + L" (" + ErrorText(error) +
                         L")\n");
      return kUsageErrorExit;
    }
  }
  if (unreadable) return kUsageErrorExit;
  return healthy ? 0 : 1;
}

}  // namespace nubora
