#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netconfig/config_file.h"
#include "platform/adapters.h"
#include "platform/ini_files.h"

namespace nubora {

// The INI file as the service reads it, its log kept quiet: what became of
// each section, the records, the section of each record (an index into
// `fates`) and, for each record, an earlier one on the same MAC (its index
// + 1; 0: none), which a run compares with the adapter as it was before.
struct IniReading {
  std::vector<SectionFate> fates;
  std::unique_ptr<AdapterConfigList> records;
  std::vector<std::size_t> recordSection;
  std::vector<std::size_t> sameMacAs;
};
IniReading ReadIniQuietly(const std::wstring& path);

// The run a boot would make on `adapters` with the INI file at `path`, its
// commands written down rather than run and its pauses counted: the log's
// bytes, the netsh command lines, and the pauses for a missing adapter. Not
// `played` when its log cannot be kept in memory (kRunNotKept tells why):
// the run is then not made, and nothing is written to the log file.
struct PredictedRun {
  bool played = false;
  std::string log;
  std::vector<std::wstring> netsh;
  int pauses = 0;
  unsigned long waited = 0;  // milliseconds
};
constexpr wchar_t kRunNotKept[] =
    L"the predicted run's log cannot be kept in memory (another is kept, or memory ran out): "
    L"nothing was played, nothing written to the service's log";
PredictedRun PredictRun(const std::vector<AdapterInfo>& adapters, IniFiles& ini,
                        const std::wstring& path);

}  // namespace nubora
