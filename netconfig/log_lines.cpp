#include "netconfig/log_lines.h"

#include <cwchar>

#include "netconfig/log.h"

namespace nubora {

std::wstring ClockText(const LocalTime& time) {
  return FormatWide(L"%d-%d-%d,%2d:%2d:%2d", time.year, time.month, time.day, time.hour,
                    time.minute, time.second);
}

std::wstring MacText(const std::uint8_t (&mac)[kMacLength]) {
  return FormatWide(L"%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                    mac[5]);
}

std::wstring TextBefore(const wchar_t* format) {
  const wchar_t* value = std::wcschr(format, L'%');
  return value == nullptr ? format : std::wstring(format, value);
}

bool ParseClockLine(const std::wstring& line, const wchar_t* prefix, std::wstring& clock) {
  const std::size_t length = std::wcslen(prefix);
  if (line.compare(0, length, prefix) != 0) return false;
  const wchar_t* at = line.data() + length;
  if (!IsClock(at, line.data() + line.size())) return false;
  clock.assign(at, line.data() + line.size());
  return true;
}

}  // namespace nubora
