// Linux has no COM port of this kind, no Event Log and no service manager:
// each answers kNotAvailable, and `nubora report` prints its text instead.
#include "platform/report_outputs.h"

namespace nubora {
namespace {

class NoSerialConsole : public SerialConsole {
 public:
  bool Write(const std::wstring&, const std::string&, unsigned long& error) override {
    error = kNotAvailable;
    return false;
  }
};

class NoEventLog : public EventLog {
 public:
  bool Report(const wchar_t*, EventType, unsigned long, const std::wstring&,
              unsigned long& error) override {
    error = kNotAvailable;
    return false;
  }
  unsigned long RegisterSource(const wchar_t*, const std::wstring&) override {
    return kNotAvailable;
  }
  unsigned long RemoveSource(const wchar_t*) override { return kNotAvailable; }
};

class NoServiceWatch : public ServiceWatch {
 public:
  ServiceRunState Query(const wchar_t*, unsigned long& error) override {
    error = kNotAvailable;
    return ServiceRunState::kAbsent;
  }
  bool WrittenSinceBoot(const std::wstring&) override { return true; }
};

}  // namespace

ReportPlatform NativeReportPlatform() {
  static NoSerialConsole console;
  static NoEventLog eventLog;
  static NoServiceWatch services;
  return ReportPlatform{&console, &eventLog, &services};
}

}  // namespace nubora
