#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace nubora::testing {

// Start-up facts as a test sets them; redirection changes are written down.
class FakeSystemProbe : public SystemProbe {
 public:
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
    return true;
  }
  bool RevertRedirection(void*) override { return true; }
  unsigned long major = 10;
  bool versionReadable = true;
  bool hasWow64 = false;
  int isWow64 = 0;
};

// Sends the log to a temporary file for its lifetime.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string Text();  // without carriage returns

 private:
  std::FILE* file_;
};

// A whole file without carriage returns.
std::string ReadFile(const std::string& path);

std::string FirstLine(const std::string& text);

// The log's clock lines as the golden files hold them: "start time <time>".
std::string WithClockForm(const std::string& log);

// The folders of tests/scenarios, sorted.
std::vector<std::string> ScenarioNames();

}  // namespace nubora::testing
