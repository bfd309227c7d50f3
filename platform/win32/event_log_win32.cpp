#include <windows.h>

#include "platform/event_log.h"
#include "platform/identity.h"
#include "platform/win32/win32_handles.h"

namespace nubora {
namespace {

static_assert(kTypesSupported ==
                  (EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE),
              "the event types the source supports");

struct EventSourceTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE handle) { ::DeregisterEventSource(handle); }
};

class Win32EventLog : public EventLog {
 public:
  unsigned long WriteEvent(const wchar_t* source, EventType type, unsigned long id,
                           const std::wstring& text) override {
    unique_handle<EventSourceTraits> log(::RegisterEventSourceW(nullptr, source));
    const wchar_t* strings[] = {text.c_str()};
    if (log && ::ReportEventW(log.get(), static_cast<WORD>(type), 0, id, nullptr, 1, 0, strings,
                              nullptr)) {
      return 0;
    }
    return ::GetLastError();
  }

  unsigned long RegisterSource(const wchar_t* source, const std::wstring& messageFile) override {
    HKEY opened = nullptr;
    const std::wstring path = std::wstring(kEventSourcesKey) + source;
    LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                       KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<unsigned long>(status);
    unique_key key(opened);
    const DWORD types = kTypesSupported;
    status = ::RegSetValueExW(key.get(), kEventMessageFileValue, 0, REG_EXPAND_SZ,
                              reinterpret_cast<const BYTE*>(messageFile.c_str()),
                              static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t)));
    if (status == ERROR_SUCCESS) {
      status = ::RegSetValueExW(key.get(), kTypesSupportedValue, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&types), sizeof types);
    }
    return static_cast<unsigned long>(status);
  }

  unsigned long RemoveSource(const wchar_t* source) override {
    const std::wstring path = std::wstring(kEventSourcesKey) + source;
    return static_cast<unsigned long>(::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str()));
  }
};

}  // namespace

EventLog& NativeEventLog() {
  static Win32EventLog eventLog;
  return eventLog;
}

}  // namespace nubora
