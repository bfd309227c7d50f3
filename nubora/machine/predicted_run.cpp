#include "nubora/machine/predicted_run.h"

#include "netconfig/log.h"
#include "netconfig/run.h"
#include "nubora/machine/stand_ins.h"
#include "platform/platform.h"

namespace nubora {

IniReading ReadIniQuietly(const std::wstring& path) {
  IniReading reading;
  {
    const LogInMemory quiet;
    reading.records = ReadConfigFile(path.c_str(), &reading.fates);
  }
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

  PredictedRun run;
  // Kept in memory, the run never reopens standard output onto the log file.
  LogInMemory log;
  if (!log.Kept()) return run;
  RunConfiguration();
  run.played = log.Kept();
  run.log = log.Bytes();
  run.netsh = commands.lines;
  run.pauses = clock.pauses;
  run.waited = clock.waited;
  return run;
}

}  // namespace nubora
