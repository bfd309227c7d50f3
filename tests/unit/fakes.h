#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "netconfig/log.h"
#include "platform/platform.h"

namespace nubora::testing {

// Everything a test saw happen, in order: process starts, redirection changes.
using Events = std::vector<std::wstring>;

class FakeClock : public Clock {
 public:
  LocalTime Now() override { return now; }
  void Sleep(unsigned long milliseconds) override {
    sleeps.push_back(milliseconds);
    if (onSleep) onSleep();
  }
  LocalTime now{2016, 3, 5, 9, 14, 7};
  std::vector<unsigned long> sleeps;
  std::function<void()> onSleep;
};

class FakeSystemProbe : public SystemProbe {
 public:
  explicit FakeSystemProbe(Events& events) : events_(events) {}
  bool ReadOsMajorVersion(unsigned long& value) override {
    value = major;
    return versionReadable;
  }
  void ResolveWow64EntryPoints() override {}
  bool HasIsWow64Process() const override { return hasWow64; }
  bool HasDisableRedirection() const override { return hasWow64; }
  bool HasRevertRedirection() const override { return hasWow64; }
  bool QueryIsWow64Process(int& flag) override {
    flag = isWow64;
    return true;
  }
  bool DisableRedirection(void*& old) override {
    old = this;
    events_.push_back(L"redirection off");
    return true;
  }
  bool RevertRedirection(void* old) override {
    events_.push_back(old == this ? L"redirection on" : L"redirection on: wrong value");
    return true;
  }
  unsigned long major = 10;
  bool versionReadable = true;
  bool hasWow64 = false;
  int isWow64 = 0;

 private:
  Events& events_;
};

// Adapter lists by pass; the last one repeats. A nonzero error fails the pass.
class FakeAdapterSource : public AdapterSource {
 public:
  struct Pass {
    unsigned long error = 0;
    std::vector<AdapterInfo> adapters;
  };
  unsigned long Enumerate(std::vector<AdapterInfo>& adapters) override {
    const Pass& pass = passes.at(std::min(calls++, passes.size() - 1));
    adapters = pass.adapters;
    return pass.error;
  }
  std::vector<Pass> passes{Pass{}};
  std::size_t calls = 0;
};

// How a fake process behaves: ends during wait slice `endsInSlice` (0: never),
// or fails to start with `startError`.
struct ProcessScript {
  unsigned endsInSlice = 1;
  unsigned long startError = 0;
};

class FakeProcessLauncher : public ProcessLauncher {
 public:
  explicit FakeProcessLauncher(Events& events) : events_(events) {}
  std::unique_ptr<RunningProcess> StartHidden(wchar_t* commandLine, unsigned long& error) override;
  // Scripts for command lines that start with a given text; others end at once.
  std::map<std::wstring, ProcessScript> scripts;
  std::vector<unsigned long> waits;

 private:
  Events& events_;
};

// A run's platform made of fakes, with the portable INI reader; installed for
// the object's lifetime.
struct FakePlatform {
  FakePlatform();
  Events events;
  FakeClock clock;
  FakeSystemProbe system{events};
  FakeAdapterSource adapters;
  FakeProcessLauncher processes{events};
  std::unique_ptr<IniFiles> ini;
  std::unique_ptr<ScopedPlatform> scope;
};

// Sends the log to a temporary file for its lifetime.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string Text();

 private:
  std::FILE* file_;
};

std::string ReadFile(const std::string& path);
std::string DataPath(const std::string& relative);
std::wstring WideDataPath(const std::string& relative);

AdapterInfo MakeAdapter(const std::wstring& name, const std::vector<unsigned>& mac,
                        const std::vector<std::string>& addresses, unsigned prefix,
                        const std::string& gateway, const std::vector<std::string>& dns);

}  // namespace nubora::testing
