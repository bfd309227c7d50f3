#pragma once

#include <string>

#include "platform/system_errors.h"

namespace nubora {

enum class EventType : unsigned short { kError = 1, kWarning = 2, kInformation = 4 };

// The Application log of the Windows Event Log.
class EventLog {
 public:
  virtual ~EventLog() = default;
  // One event from `source`, with `text` as its one insertion string. 0, or
  // the Windows error code.
  virtual unsigned long WriteEvent(const wchar_t* source, EventType type, unsigned long id,
                                   const std::wstring& text) = 0;
  // The source's registry key: its message file and the three event types.
  virtual unsigned long RegisterSource(const wchar_t* source, const std::wstring& messageFile) = 0;
  virtual unsigned long RemoveSource(const wchar_t* source) = 0;
};

EventLog& NativeEventLog();

}  // namespace nubora
