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

}  // namespace nubora
