// The report's two outputs. The serial console: the form of its lines, which
// a reader of console captures parses, and its cut at 4 KB (the service's
// tests hold a finding's line). The event: its IDs as the message table
// numbers them, its type for each verdict, its text without % and its cut.
#include "nubora/report/report_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <regex>

#include "fakes.h"
#include "platform/identity.h"
#include "platform/text.h"

namespace nubora {
namespace {

// A line break first, then each line with the service's name and the time,
// UTF-8 and CR LF; a % is the console's own.
TEST(ReportConsole, EachLineHasTheServiceAndTheTime) {
  EXPECT_EQ(ConsoleBytes({L"verdict: configured", L"[\u00e9] lan%1"}, {2024, 5, 7, 9, 3, 0}),
            "\r\nNuboraService: 2024-05-07 09:03:00 verdict: configured\r\n"
            "NuboraService: 2024-05-07 09:03:00 [\xc3\xa9] lan%1\r\n");
}

// Lines of 128 bytes on the console: 32 make 4 KB exactly with the leading
// CR LF, the first two bytes shorter. Past that the last line kept says how
// many were cut.
TEST(ReportConsole, IsCutAt4KBWithALastLineThatSaysSo) {
  const std::string stamp = "NuboraService: 2024-05-07 09:03:00 ";
  const struct {
    const char* what;
    std::size_t count, longerLast, kept;
    const char* cutLine;  // null: none
  } cases[] = {
      {"32 lines: 4 KB", 32, 0, 32, nullptr},
      {"the last a byte longer", 32, 1, 31, "the report is cut here: more lines 1"},
      {"33 lines", 33, 0, 31, "the report is cut here: more lines 2"},
      {"200 lines", 200, 0, 31, "the report is cut here: more lines 169"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::wstring> lines(c.count, std::wstring(91, L'x'));
    lines.front().resize(89);
    lines.back() += std::wstring(c.longerLast, L'x');
    std::string expected = "\r\n" + stamp + std::string(89, 'x') + "\r\n";
    for (std::size_t i = 1; i < c.kept; ++i) expected += stamp + std::string(91, 'x') + "\r\n";
    if (c.cutLine != nullptr) expected += stamp + c.cutLine + "\r\n";
    const std::string bytes = ConsoleBytes(lines, {2024, 5, 7, 9, 3, 0});
    EXPECT_TRUE(bytes == expected) << "ends with " << bytes.substr(bytes.size() - 60);
    EXPECT_LE(bytes.size(), 4096u);
  }
}

// Every enumerator kWordWord of event_ids.h is the message NUBORA_WORD_WORD of
// messages.mc with the same number, and every message has an enumerator.
TEST(ReportEvent, IdsAreTheMessageTables) {
  const std::string folder = NUBORA_SOURCE_DIR "/nubora/report/";
  const std::string header = testing::ReadFile(folder + "event_ids.h");
  const std::string table = testing::ReadFile(folder + "messages.mc");
  std::map<std::string, std::string> ids, messages;  // symbolic name: number
  const std::regex enumerator(R"(\n +k(\w+) = (\w+),)");
  for (std::sregex_iterator it(header.begin(), header.end(), enumerator), end; it != end; ++it) {
    std::string name = "NUBORA";
    for (const char c : (*it)[1].str()) {
      if (std::isupper(static_cast<unsigned char>(c))) name += '_';
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    ids[name] = (*it)[2];
  }
  const std::regex message(R"(\nMessageId=(\w+)\n(?:(?!MessageId)\w+=.*\n)*?SymbolicName=(\w+)\n)");
  for (std::sregex_iterator it(table.begin(), table.end(), message), end; it != end; ++it) {
    messages[(*it)[2]] = (*it)[1];
  }
  EXPECT_FALSE(ids.empty());
  EXPECT_EQ(ids, messages);
}

// Its type as the Event Log numbers it (error 1, warning 2, information 4),
// each one the source is registered for; the wait's and the service's tests
// hold the other verdicts' (101, 104) and the lines that follow.
TEST(ReportEvent, OfEachVerdictHasItsIdAndType) {
  const struct {
    Verdict verdict;
    unsigned long type;
    unsigned long id;
  } cases[] = {{Verdict::kConfigured, 4, 100},
               {Verdict::kPartlyConfigured, 2, 102},
               {Verdict::kNotConfigured, 1, 103}};
  for (const auto& c : cases) {
    const ReportMessage message = VerdictEvent(c.verdict);
    EXPECT_EQ(static_cast<unsigned long>(message.type), c.type) << c.id;
    EXPECT_NE(kTypesSupported & c.type, 0u) << c.id;
    EXPECT_EQ(static_cast<unsigned long>(message.eventId), c.id);
  }
}

// Every % full-width: Event Viewer expands %n even inside an insertion string.
// Lines of 1873 characters with CR LF: 17 make the limit, 31 839, exactly;
// 16 of 1990 fit.
TEST(ReportEvent, TextHasNoPercentAndIsCutBelowItsLimitWithALastLineThatSaysSo) {
  EXPECT_EQ(EventText({L"[lan%1]", L"%%2"}), L"[lan\uFF051]\r\n\uFF05\uFF052");
  const struct {
    std::size_t count, size, kept;
    const wchar_t* cutLine;  // null: none
  } cases[] = {{1, 1873, 1, nullptr},
               {16, 1873, 16, nullptr},
               {17, 1873, 16, L"the report is cut here: more lines 1"},
               {40, 1873, 16, L"the report is cut here: more lines 24"},
               {16, 1990, 16, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.count << " lines of " << c.size << " characters");
    const std::wstring line(c.size - 2, L'y');
    std::wstring expected = line;
    for (std::size_t i = 1; i < c.kept; ++i) expected += L"\r\n" + line;
    if (c.cutLine != nullptr) expected += L"\r\n" + std::wstring(c.cutLine);
    const std::wstring text = EventText(std::vector<std::wstring>(c.count, line));
    EXPECT_TRUE(text == expected) << "ends with " << Utf8(text.substr(text.size() - 40));
    EXPECT_LT(text.size(), 31839u);
  }
}

}  // namespace
}  // namespace nubora
