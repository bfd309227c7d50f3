#include "nubora/machine/predicted_run.h"

#include <cstdio>

#include "netconfig/log.h"
#include "netconfig/run.h"
#include "nubora/machine/stand_ins.h"
#include "platform/platform.h"

namespace nubora {
namespace {

// The whole of a temporary file, as the log wrote it.
std::string ReadBack(std::FILE* file) {
  std::string bytes;
  if (file == nullptr) return bytes;
  std::rewind(file);
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    bytes.append(chunk, got);
  }
  return bytes;
}

}  // namespace

IniReading ReadIniQuietly(const std::wstring& path) {
  std::FILE* scratch = std::tmpfile();
  SetLogStream(scratch);
  IniReading reading;
  reading.records = ReadConfigFile(path.c_str(), &reading.fates);
  SetLogStream(nullptr);
  if (scratch != nullptr) std::fclose(scratch);
  if (!reading.records) reading.records.reset(new AdapterConfigList());
  for (std::size_t f = 0; f < reading.fates.size(); ++f) {
    if (reading.fates[f].kept) reading.recordSection.push_back(f);
  }
  const AdapterConfigList& records = *reading.records;
  for (std::size_t r = 0; r < records.size(); ++r) {
    std::size_t earlier = 0;
    while (earlier < r && !SameMac(records[earlier].mac, records[r].mac)) {
      ++earlier;
    }
    reading.sameMacAs.push_back(earlier < r ? earlier + 1 : 0);
  }
  return reading;
}

PredictedRun PredictRun(const std::vector<AdapterInfo>& adapters, IniFiles& ini,
                        const std::wstring& path) {
  Platform platform = CurrentPlatform();
  RedirectedIniFiles file(ini, path);
  ListedAdapters listed(adapters);
  RecordedCommands commands;
  NoWaitClock clock(*platform.clock);
  platform.ini = &file;
  platform.adapters = &listed;
  platform.processes = &commands;
  platform.clock = &clock;
  ScopedPlatform scope(platform);

  std::FILE* log = std::tmpfile();
  SetLogStream(log);  // keeps the run from reopening standard output
  RunConfiguration();
  LogFlush();
  SetLogStream(nullptr);
  PredictedRun run;
  run.log = ReadBack(log);
  if (log != nullptr) std::fclose(log);
  run.netsh = commands.lines;
  run.pauses = clock.pauses;
  run.waited = clock.waited;
  return run;
}

}  // namespace nubora
