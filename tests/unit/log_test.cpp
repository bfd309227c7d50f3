// The log: whole lines from concurrent writers, wide text converted.
#include "netconfig/log.h"

#include <gtest/gtest.h>

#include <clocale>
#include <thread>

#include "fakes.h"

namespace nubora {
namespace {

TEST(Log, ConcurrentWritersNeverSplitALine) {
  testing::LogCapture log;
  auto writer = [](const wchar_t* word) {
    for (int i = 0; i < 500; ++i) LogWide(L"%ls %ls %d\n", word, word, i);
  };
  std::thread a(writer, L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
  std::thread b(writer, L"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
  a.join();
  b.join();
  const std::string text = log.Text();
  std::size_t lines = 0;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1, ++lines) {
    const std::string line = text.substr(start, end - start);
    const char c = line.empty() ? '?' : line[0];
    EXPECT_EQ(line.rfind(std::string(36, c) + " " + std::string(36, c) + " ", 0), 0u) << line;
  }
  EXPECT_EQ(lines, 1000u);
}

TEST(Log, WideTextIsConvertedNarrowTextIsNotAndLongTextArrivesWhole) {
  std::setlocale(LC_ALL, "C");
  testing::LogCapture log;
  LogWide(L"%ls|%d|%2d\n", L"name", 42, 7);
  LogNarrow("%s|\xE9\n", "raw");
  LogWide(L"\u670D\n");  // not representable in the C locale's code page
  LogWide(L"%ls\n", std::wstring(70000, L'9').c_str());
  EXPECT_EQ(log.Text(), "name|42| 7\nraw|\xE9\n?\n" + std::string(70000, '9') + "\n");
}

}  // namespace
}  // namespace nubora
