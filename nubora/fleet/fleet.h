#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nubora/cli/verbs.h"
#include "nubora/fleet/capture.h"

namespace nubora {

// nubora fleet PATH... [--map FILE] [--json] [--prom FILE] [--stale S]
// On the host: each VM's last boot report as its captured serial console
// holds it, one line per VM, worst first. Exit code: 0 when every VM's last
// verdict is configured or nothing to configure, 1 otherwise, 2 for a usage
// error or input that cannot be read.
int FleetCommand(const std::vector<std::wstring>& args, std::string& out, std::string& err);

// One VM as its capture tells it.
struct FleetVm {
  std::string vm;    // its name (the map's, else the capture's file name), UTF-8
  std::string uuid;  // from the capture's path or the map; empty when unknown
  std::wstring file;
  unsigned long error = 0;  // not 0: the capture cannot be read
  BootReport report;
  std::int64_t written = 0;  // when the capture was last written, seconds since 1970
  bool stale = false;
};

// The verdicts a VM can be told with, the worst first: unreadable, no
// report, then the report's closed set.
std::vector<std::string> WorstFirst();
// The verdict of `vm`, one of WorstFirst's.
std::string VerdictOf(const FleetVm& vm);

// node_exporter's textfile collector's lines for `vms` at `now`.
std::string FleetMetrics(const std::vector<FleetVm>& vms, std::int64_t now);

}  // namespace nubora
