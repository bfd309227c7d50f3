// Linux has no Event Log: `nubora report` prints its text instead.
#include "platform/event_log.h"

namespace nubora {
namespace {

class NoEventLog : public EventLog {
 public:
  unsigned long WriteEvent(const wchar_t*, EventType, unsigned long, const std::wstring&) override {
    return kNotAvailable;
  }
  unsigned long RegisterSource(const wchar_t*, const std::wstring&) override {
    return kNotAvailable;
  }
  unsigned long RemoveSource(const wchar_t*) override { return kNotAvailable; }
};

}  // namespace

EventLog& NativeEventLog() {
  static NoEventLog eventLog;
  return eventLog;
}

}  // namespace nubora
