// node_exporter's textfile lines of the fleet's VMs.
#include <algorithm>
#include <string>
#include <vector>

#include "nubora/doctor/doctor.h"
#include "nubora/fleet/fleet.h"

namespace nubora {

namespace {

// A label value as the exposition format writes it.
std::string Label(const std::string& value) {
  std::string out;
  for (const char c : value) {
    if (c == '\\' || c == '"') out += '\\';
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

}  // namespace

std::string FleetMetrics(const std::vector<FleetVm>& vms, std::int64_t now) {
  struct Family {
    const char* name;
    const char* help;
  };
  const auto head = [](const Family& family) {
    return std::string("# HELP ") + family.name + " " + family.help + "\n# TYPE " + family.name +
           " gauge\n";
  };
  const Family verdict{"nubora_boot_verdict",
                       "1 for the verdict of the VM's last boot report, 0 for the others."};
  const Family present{"nubora_boot_report_present", "1 when the VM's capture holds a report."};
  const Family interim{"nubora_boot_report_interim",
                       "1 when the last report was told before the run ended."};
  const Family cut{"nubora_boot_report_cut", "1 when the last report says it was cut."};
  const Family written{"nubora_boot_report_written_timestamp_seconds",
                       "When the VM's capture was last written."};
  const Family findings{"nubora_doctor_findings",
                        "The doctor's findings told with the last report, by severity."};
  const Family* order[] = {&verdict, &present, &interim, &cut, &written, &findings};
  const std::vector<std::string> closedSet = WorstFirst();
  std::string out;
  // Family by family, each VM's series; a VM that cannot be read has none.
  for (const Family* family : order) {
    out += head(*family);
    for (const FleetVm& vm : vms) {
      if (vm.error != 0) continue;
      const BootReport& report = vm.report;
      const std::string series = std::string(family->name) + "{vm_uuid=\"" + Label(vm.uuid) +
                                 "\",vm=\"" + Label(vm.vm) + "\"";
      const auto flag = [&](bool value) { out += series + "} " + (value ? "1\n" : "0\n"); };
      if (family == &verdict) {
        const std::string told = VerdictOf(vm);
        for (auto each = closedSet.begin() + 2; each != closedSet.end(); ++each) {
          out += series + ",verdict=\"" + *each + "\"} " + (told == *each ? "1\n" : "0\n");
        }
      } else if (family == &present) {
        flag(report.present);
      } else if (family == &interim) {
        flag(report.present && report.interim);
      } else if (family == &cut) {
        flag(report.present && report.cut);
      } else if (family == &written) {
        out += series + "} " + std::to_string(vm.written) + "\n";
      } else {
        for (const Severity severity : {Severity::kError, Severity::kWarning}) {
          out += series + ",severity=\"" + SeverityText(severity) + "\"} " +
                 std::to_string(severity == Severity::kError ? report.errors : report.warnings) +
                 "\n";
        }
      }
    }
  }
  const Family lastRun{"nubora_fleet_last_run_timestamp_seconds", "When nubora fleet last ran."};
  const Family unreadable{"nubora_fleet_files_unreadable",
                          "Captures nubora fleet could not read on its last run."};
  const auto count =
      std::count_if(vms.begin(), vms.end(), [](const FleetVm& vm) { return vm.error != 0; });
  return out += head(lastRun) + lastRun.name + " " + std::to_string(now) + "\n" + head(unreadable) +
                unreadable.name + " " + std::to_string(count) + "\n";
}

}  // namespace nubora
