// The report's lines cut for the serial console (ConsoleBytes) and for the
// Event Log (EventText): within the limit, each line whole (on the console
// CR LF ended, prefixed, valid UTF-8), every line given until the cut, the
// cut line last and only where all would not fit.
//
// The input: how often the lines stand, how often each line's text, whether
// the rest is UTF-8 or UTF-16 units (a lone surrogate too), then the lines.
#include <algorithm>

#include "fuzz_support.h"
#include "nubora/report/report_lines.h"
#include "nubora/report/report_text.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nubora;
  if (size < 3) return 0;
  std::wstring text = data[2] % 2 == 0 ? FromUtf8(std::string(data + 3, data + size)) : L"";
  for (std::size_t i = 3; data[2] % 2 != 0 && i + 1 < size; i += 2) {
    text += wchar_t(data[i] | data[i + 1] << 8);
  }
  std::replace(text.begin(), text.end(), L'\r', L'\n');
  std::vector<std::wstring> lines;
  std::size_t total = 0;  // past both limits, and no further: each line costs
  for (int i = 0; i < 1 + data[0] % 64 && total < 2 * kEventTextLimit; ++i) {
    for (const std::wstring& piece : fuzz::Split(text, std::wstring(L"\n"))) {
      if (lines.size() == 2048) break;
      lines.emplace_back();
      for (int j = 0; j < 1 + data[1] % 16; ++j) lines.back() += piece;
      total += lines.back().size() + 2;
    }
  }

  const LocalTime now{2024, 5, 17, 9, 14, 0};
  const std::string console = ConsoleBytes(lines, now);
  const auto consoleLine = [clock = ConsoleClock(now)](const std::wstring& line) {
    return ConsoleLinePrefix() + clock + " " + Utf8(line);
  };
  FUZZ_CHECK(console.size() <= kConsoleLimit && console.rfind("\r\n", 0) == 0);
  FUZZ_CHECK(Utf8(FromUtf8(console)) == console);  // no character split
  std::vector<std::string> shown = fuzz::Split(console.substr(2), std::string("\r\n"));
  FUZZ_CHECK(shown.back().empty());  // CR LF after the last line too
  shown.pop_back();
  std::size_t whole = 2, event = lines.empty() ? 0 : lines.size() * 2 - 2;
  for (const std::wstring& line : lines) {
    whole += consoleLine(line).size() + 2;
    event += line.size();
  }
  // Each line as it should show, given its text and the cut line.
  const auto checkCut = [&lines](const auto& got, bool cut, const auto& shown) {
    FUZZ_CHECK(cut ? !got.empty() && got.size() <= lines.size() : got.size() == lines.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      FUZZ_CHECK(got[i] ==
                 (cut && i + 1 == got.size() ? shown(CutLine(lines.size() - i)) : shown(lines[i])));
    }
  };
  checkCut(shown, whole > kConsoleLimit, consoleLine);

  const std::wstring told = EventText(lines);
  FUZZ_CHECK(told.size() < kEventTextLimit);
  std::vector<std::wstring> events = fuzz::Split(told, std::wstring(L"\r\n"));
  if (lines.empty()) events.clear();
  checkCut(events, event >= kEventTextLimit, [](std::wstring line) {
    std::replace(line.begin(), line.end(), L'%', L'\xFF05');
    return line;
  });
  return 0;
}
