#pragma once

#include <string>

namespace nubora {

// What `nubora report` needs of the system beyond reading the log: the serial
// console, the Event Log, and the service manager's view of one service.
// Error codes are the system's; a platform without the facility answers
// kNotAvailable, and the caller skips it quietly.
constexpr unsigned long kNotAvailable = 50;  // the system's "not supported"

class SerialConsole {
 public:
  virtual ~SerialConsole() = default;
  // Opens `port` for this write only (115200 baud, 8N1, no flow control),
  // writes `bytes` with write timeouts, purges what a timeout left unsent and
  // closes. False with `error` when any step fails.
  virtual bool Write(const std::wstring& port, const std::string& bytes, unsigned long& error) = 0;
};

enum class EventType : unsigned short { kError = 1, kWarning = 2, kInformation = 4 };

class EventLog {
 public:
  virtual ~EventLog() = default;
  // One event of the Application log from `source`, with `text` as its one
  // insertion string.
  virtual bool Report(const wchar_t* source, EventType type, unsigned long id,
                      const std::wstring& text, unsigned long& error) = 0;
  // The source's registry key: its message file and the three event types.
  virtual unsigned long RegisterSource(const wchar_t* source, const std::wstring& messageFile) = 0;
  virtual unsigned long RemoveSource(const wchar_t* source) = 0;
};

enum class ServiceRunState { kStopped, kAbsent, kRunning, kUnknown };

class ServiceWatch {
 public:
  virtual ~ServiceWatch() = default;
  // kUnknown, with `error`, when the service manager cannot be asked.
  virtual ServiceRunState Query(const wchar_t* name, unsigned long& error) = 0;
  // Whether the file was last written after the system started: false when
  // it does not exist.
  virtual bool WrittenSinceBoot(const std::wstring& path) = 0;
};

struct ReportPlatform {
  SerialConsole* console = nullptr;
  EventLog* eventLog = nullptr;
  ServiceWatch* services = nullptr;
};

// The real system's implementations (Win32, or the portable ones).
ReportPlatform NativeReportPlatform();

}  // namespace nubora
