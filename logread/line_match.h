#pragma once

#include <cstddef>
#include <cwchar>
#include <string>

namespace nubora {

// How one stage of the run's parser took a line: refused it, took it, took it
// as its last, or ended without looking at it, which then goes to the next
// stage. None is zero: a value never set is none of them.
enum class Taken { kRefused = 1, kTaken, kTakenLast, kPassedOn };

// True when `line` begins with `prefix`; `value` then holds the rest.
bool StartsWith(const std::wstring& line, const wchar_t* prefix, std::wstring* value = nullptr);

// The text a format writes before its first value.
inline std::wstring TextBefore(const wchar_t* format) {
  const wchar_t* value = std::wcschr(format, L'%');
  return value == nullptr ? format : std::wstring(format, value);
}

// True when [at, end) is a clock as ClockText writes it; with `prefix`, also
// any beginning of one (a start line cut short by a power loss).
template <typename Char>
bool IsClock(const Char* at, const Char* end, bool prefix = false) {
  const auto digit = [](Char c) { return c >= '0' && c <= '9'; };
  for (int field = 0; field < 3; ++field) {  // %d-%d-%d,
    const Char* digits = at;
    while (at < end && digit(*at)) ++at;
    if (at == end) return prefix;
    if (at == digits || *at != (field < 2 ? '-' : ',')) return false;
    ++at;
  }
  for (int field = 0; field < 3; ++field) {  // %2d:%2d:%2d
    for (int place = 0; place < 2; ++place, ++at) {
      if (at == end) return prefix;
      if (!digit(*at) && !(place == 0 && *at == ' ')) return false;
    }
    if (field == 2) break;
    if (at == end) return prefix;
    if (*at++ != ':') return false;
  }
  return at == end;
}

// True when `line` is `prefix` and a whole clock; `clock` then holds it.
inline bool ParseClockLine(const std::wstring& line, const wchar_t* prefix, std::wstring& clock) {
  const std::size_t length = std::wcslen(prefix);
  if (line.compare(0, length, prefix) != 0) return false;
  const wchar_t* at = line.data() + length;
  if (!IsClock(at, line.data() + line.size())) return false;
  clock.assign(at, line.data() + line.size());
  return true;
}

}  // namespace nubora
