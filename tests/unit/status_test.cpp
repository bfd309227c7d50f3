// nubora status on logs as the service writes them (CR LF, a real clock): what
// it says of each case against its golden file, and its usage errors.
#include "nubora/status/status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fakes.h"
#include "logread/run_log.h"
#include "nubora/runtext/run_text.h"
#include "platform/log_file.h"
#include "platform/text.h"

namespace nubora {
namespace {

namespace fs = std::filesystem;
const std::string kClock = "2024-5-17, 9: 3: 0";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

// A golden log (LF, clock lines as "<time>") as the service wrote it.
std::string AsWritten(std::string text) {
  ReplaceAll(text, "<time>", kClock);
  ReplaceAll(text, "\n", "\r\n");
  return text;
}

std::string WriteTemp(const std::string& name, const std::string& bytes) {
  const std::string path = testing::TempPath("status_" + name + ".log");
  testing::WriteFile(path, bytes);
  return path;
}

struct Case {
  std::string name, log, status, args;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.log; }

// Every scenario that states its status, and every case of tests/data/status.
std::vector<Case> Cases() {
  std::vector<Case> cases;
  const fs::path scenarios = fs::path(NUBORA_SCENARIOS_DIR);
  if (fs::is_directory(scenarios)) {
    for (const auto& entry : fs::directory_iterator(scenarios)) {
      const fs::path status = entry.path() / "expected.status";
      if (!fs::exists(status)) continue;
      cases.push_back({"scenario_" + entry.path().filename().string(),
                       (entry.path() / "expected.log").string(), status.string(), ""});
    }
  }
  for (const auto& entry : fs::directory_iterator(NUBORA_TEST_DATA_DIR "/status")) {
    fs::path path = entry.path();
    if (path.extension() != ".log") continue;
    const std::string log = path.string();
    const std::string args = fs::exists(path.replace_extension(".args")) ? path.string() : "";
    cases.push_back({path.stem().string(), log, path.replace_extension(".status").string(), args});
  }
  return cases;
}

class StatusOfLog : public ::testing::TestWithParam<Case> {};

TEST_P(StatusOfLog, SaysWhatItsGoldenFileSays) {
  const Case& c = GetParam();
  const std::string path = WriteTemp(c.name, AsWritten(testing::ReadFile(c.log)));
  std::vector<std::wstring> args;
  std::istringstream words(c.args.empty() ? "" : testing::ReadFile(c.args));
  for (std::string word; words >> word;) args.emplace_back(word.begin(), word.end());
  args.emplace_back(path.begin(), path.end());

  std::string out, err;
  const int code = StatusCommand(args, out, err);
  EXPECT_EQ(err, "");
  if (c.args.empty()) {  // one run told as text: 0 only where nothing is left to do
    EXPECT_EQ(code, testing::LeavesNothingToDo(out) ? 0 : 1);
  }
  ReplaceAll(out, kClock, "<time>");
  std::string escaped = Utf8(args.back());  // as JSON writes it
  ReplaceAll(escaped, "\\", "\\\\");
  ReplaceAll(out, escaped, "<log>");
  ReplaceAll(out, Utf8(args.back()), "<log>");
  EXPECT_EQ(testing::ReadFile(c.status), out);
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Logs, StatusOfLog, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// Arguments: a usage error exits 2 with its message first, before the help.
TEST(StatusArguments, EachGetsItsExitCodeAndMessage) {
  const std::string log =
      WriteTemp("args", AsWritten(testing::ReadFile(NUBORA_TEST_DATA_DIR "/status/first_run.log")));
  const std::wstring path(log.begin(), log.end());
  const std::string needsNumber =
      "nubora status: --run needs a whole number N or -N other than 0\n";
  const std::string noRun = "nubora status: the log holds no run ";
  const struct {
    std::vector<std::wstring> args;
    int code;
    std::string message;
  } cases[] = {
      {{L"--run", L"junk", path}, 2, needsNumber},
      {{L"--run", L"0", path}, 2, needsNumber},
      {{L"--run", L"2", path}, 2, noRun + "2\n"},
      {{L"--run", L"-9223372036854775808", path}, 2, noRun + "-9223372036854775808\n"},
      {{L"--run", L"99999999999999999999", path}, 2, noRun + "99999999999999999999\n"},
      {{L"--run", L"1", L"--all", path}, 2, "nubora status: --run and --all exclude each other\n"},
      {{L"--run", L"1", path}, 1, ""},  // partly configured: [partial] is dropped
  };
  for (const auto& c : cases) {
    std::string out, err;
    SCOPED_TRACE(Utf8(c.args[0] + L" " + (c.args.size() > 1 ? c.args[1] : L"")));
    EXPECT_EQ(StatusCommand(c.args, out, err), c.code);
    EXPECT_EQ(err.substr(0, err.find('\n') + 1), c.message);
    EXPECT_EQ(out.empty(), c.code == 2);
  }
  std::remove(log.c_str());
}

// `status` with `args` and the log: its exit code, its output.
int Status(std::vector<std::wstring> args, const std::string& path, std::string& out) {
  std::string err;
  args.emplace_back(path.begin(), path.end());
  const int code = StatusCommand(args, out, err);
  EXPECT_EQ(err, "");
  return code;
}

std::string Repeated(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// A run longer than a run keeps is told with what was kept and how many
// lines were left, read backwards as forwards; --all lists the last runs.
TEST(StatusOfLongLog, TellsWhatItKeptAndWhatItLeft) {
  const std::string configured = AsWritten(
      testing::ReadFile(NUBORA_SCENARIOS_DIR "/mac_matched_on_all_six_bytes/expected.log"));
  const std::size_t runLines = std::count(configured.begin(), configured.end(), '\n');
  const std::string start = AsWritten("start time <time>\n");
  // Lines of 8000 bytes and a CR kept until the run's bytes reach 512 KB.
  const std::size_t keptLong = (524288 - (configured.size() - runLines) + 8000) / 8001;
  const std::string kept = " more lines not kept: a run keeps 16384 lines or 512 KB\n";
  const std::size_t toLimit = 524287 - (configured.size() - runLines);
  const struct {
    std::string name, log;
    std::vector<std::wstring> args;
    std::vector<std::string> told;
  } cases[] = {
      // clang-format off
      {"empty_lines", start + Repeated("\r\n", 20000), {L"--run", L"-1"}, {"verdict: incomplete: 3617" + kept, "the log stops after line 20001: \n"}},
      {"junk_after_end", configured + Repeated("x\r\n", 20000), {L"--run", L"-1"}, {"verdict: partly configured: " + std::to_string(runLines + 20000 - 16384) + kept}},
      {"long_lines", configured + Repeated(std::string(8000, 'x') + "\r\n", 100), {}, {"verdict: partly configured: " + std::to_string(100 - keptLong) + kept}},
      // One byte short of 512 KB kept: the next line is still kept.
      {"bytes_to_the_limit", configured + Repeated(std::string(8000, 'x') + "\r\n", toLimit / 8001) + std::string(toLimit % 8001 - 1, 'x') + "\r\nx\r\n", {}, {"verdict: partly configured\n"}},
      {"many_runs", Repeated(start, 1001), {L"--all"}, {"runs 1 to 1 not listed: the last 1000 follow\n2  ", "\n1001  "}},
      {"many_runs_json", Repeated(start, 1001), {L"--all", L"--json"}, {"\"runs\": [\n    {\n      \"run\": 2,", "\"unlisted_runs\": 1,"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteTemp(c.name, c.log);
    std::string out, forwards;
    EXPECT_EQ(Status(c.args, path, out), 1);
    for (const std::string& told : c.told) EXPECT_NE(out.find(told), std::string::npos) << out;
    if (c.args.size() == 2 && c.args[0] == L"--run") {
      EXPECT_EQ(Status({L"--run", L"1"}, path, forwards), 1);
      EXPECT_EQ(forwards, out);
    }
    std::remove(path.c_str());
  }
}

// Start lines in names, cut lines and runs read from the end tell each run as
// a pass from the beginning does, across the backward reader's windows and
// past the lines a section's name may follow its opening within.
TEST(StatusOfLongLog, ReadsEachRunFromTheEndAsFromTheBeginning) {
  const auto golden = [](const char* name) {
    return AsWritten(testing::ReadFile(std::string(NUBORA_TEST_DATA_DIR "/status/") + name));
  };
  const std::string opened = AsWritten(
      "start time <time>\nstarting config ip address\nparsing config file for start time "
      "<time>\n" +
      Repeated("junk\n", 16400) +
      "start time <time>\nstarting config ip address\nconfig file not exist\n");
  // A whole start line, and another glued to it.
  const std::string glued = AsWritten("start time <time>start time <time>\n");
  const std::string log =
      golden("first_run.log") + Repeated(golden("section_named_start_line.log"), 30) + opened +
      golden("connection_named_start_line.log") + golden("start_line_after_cut_name.log") +
      golden("power_cut.log") + golden("section_named_start_line.log") + glued;
  const std::size_t runs = 1 + 30 + 2 + 1 + 2 + 2 + 1 + 1;
  const std::string path = WriteTemp("names", log);
  std::string all;
  Status({L"--all"}, path, all);
  EXPECT_EQ(all.substr(all.rfind('\n', all.size() - 2) + 1, 4), std::to_string(runs) + "  ");
  // The last runs, those of the opened section, the first.
  for (std::size_t back : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 39, 40}) {
    SCOPED_TRACE(back);
    std::string fromEnd, fromStart;
    Status({L"--run", L"-" + std::to_wstring(back)}, path, fromEnd);
    Status({L"--run", std::to_wstring(runs + 1 - back)}, path, fromStart);
    EXPECT_EQ(fromEnd, fromStart);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace nubora

namespace nubora {
namespace {

// What a reader's terminal or viewer would act on is shown as '?'; text that
// only looks unusual is shown as it is.
TEST(Printable, ShowsControlsAndReorderingMarksAsQuestionMarks) {
  const struct {
    std::wstring text, shown;
  } kCases[] = {
      // clang-format off
      {L"a\x1b[2Jb", L"a?[2Jb"},
      {L"a\x7f" L"b", L"a?b"},
      {L"\x80\x9b" L"1m\x9f", L"??1m?"},
      {L"abc\x202e" L"gpj.exe", L"abc?gpj.exe"},
      {L"\x2066x\x2069\x200f", L"?x??"},
      {L"caf\xe9\xa0\x2010\tok", L"caf\xe9\xa0\x2010\tok"},
      // clang-format on
  };
  for (const auto& c : kCases) EXPECT_EQ(Printable(c.text), c.shown) << Utf8(c.text);
}

}  // namespace
}  // namespace nubora
