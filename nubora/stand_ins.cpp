#include "nubora/stand_ins.h"

#include "netconfig/apply.h"

namespace nubora {
namespace {

class RecordedProcess : public RunningProcess {
 public:
  RecordedProcess(unsigned endsInSlice, RecordedCommands& owner)
      : endsInSlice_(endsInSlice), owner_(owner) {}
  bool WaitFor(unsigned long milliseconds) override {
    ++owner_.slicesWaited;
    owner_.millisecondsWaited += milliseconds;
    return endsInSlice_ != 0 && ++slice_ >= endsInSlice_;
  }

 private:
  unsigned endsInSlice_;
  RecordedCommands& owner_;
  unsigned slice_ = 0;
};

}  // namespace

unsigned long ListedAdapters::Enumerate(std::vector<AdapterInfo>& adapters) {
  ++passes;
  const auto failure = failures_.find(passes);
  if (failure != failures_.end()) return failure->second;
  adapters.clear();
  for (const AdapterInfo& adapter : adapters_) {
    const auto first = firstPass_.find(adapter.friendlyName);
    if (first == firstPass_.end() || first->second <= passes) adapters.push_back(adapter);
  }
  return 0;
}

std::unique_ptr<RunningProcess> RecordedCommands::StartHidden(wchar_t* commandLine,
                                                              unsigned long& error) {
  const std::wstring line(commandLine);
  const bool isNetsh = line.rfind(kNetshCommandPrefix, 0) == 0;
  const CommandBehaviour& behaviour = isNetsh ? netsh : others;
  if (behaviour.startError != 0) {
    error = behaviour.startError;
    return nullptr;
  }
  if (isNetsh) lines.push_back(line);
  return std::unique_ptr<RunningProcess>(new RecordedProcess(behaviour.endsInSlice, *this));
}

}  // namespace nubora
