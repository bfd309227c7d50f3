// nubora report over fakes of the console, the Event Log and the service
// manager: the event of each verdict, the console's lines and cut, the event
// text's cut, the wait for the service, and what a failing output prints.
#include "nubora/report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "nubora/run_text.h"
#include "platform/platform.h"

namespace nubora {
namespace {

struct FakeOutputs : SerialConsole, EventLog, ServiceWatch {
  bool Write(const std::wstring& port, const std::string& bytes, unsigned long& error) override {
    ports.push_back(port);
    console += bytes;
    error = consoleError;
    return consoleError == 0;
  }
  bool Report(const wchar_t* source, EventType type, unsigned long id, const std::wstring& text,
              unsigned long& error) override {
    events.push_back(std::wstring(source) + L" " + Number(static_cast<int>(type)) + L" " +
                     Number(id) + L" " + text);
    error = eventError;
    return eventError == 0;
  }
  unsigned long RegisterSource(const wchar_t*, const std::wstring&) override { return 0; }
  unsigned long RemoveSource(const wchar_t*) override { return 0; }
  ServiceRunState Query(const wchar_t* name, unsigned long& error) override {
    EXPECT_STREQ(name, L"NuboraService");
    error = 1722;
    const ServiceRunState state = states[std::min(queries, states.size() - 1)];
    ++queries;
    return state;
  }
  ReportPlatform Platform() { return {this, this, this}; }
  std::vector<std::wstring> ports, events;
  std::string console;
  unsigned long consoleError = 0, eventError = 0;
  std::vector<ServiceRunState> states{ServiceRunState::kStopped};
  std::size_t queries = 0;
};

TEST(Report, EachVerdictHasItsEventAndLeadsTheLines) {
  const struct {
    Verdict verdict;
    EventType type;
    unsigned long id;
  } cases[] = {{Verdict::kConfigured, EventType::kInformation, 100},
               {Verdict::kNothingToConfigure, EventType::kInformation, 101},
               {Verdict::kPartlyConfigured, EventType::kWarning, 102},
               {Verdict::kNotConfigured, EventType::kError, 103},
               {Verdict::kIncomplete, EventType::kError, 104}};
  for (const auto& c : cases) {
    RunStatus run;
    run.verdict = c.verdict;
    run.startTime = L"2024-5-17, 9: 3: 0";
    const Report report = TellRun(run, false, 0);
    EXPECT_EQ(report.type, c.type) << c.id;
    EXPECT_EQ(report.eventId, c.id);
    const std::wstring verdictLine = L"verdict: " + Wide(VerdictText(c.verdict));
    ASSERT_FALSE(report.lines.empty());
    EXPECT_EQ(report.lines[0], verdictLine);
    // The other lines are the status text's, in order, the verdict line moved.
    std::wstring rest, text = RunText(run);
    for (std::size_t i = 1; i < report.lines.size(); ++i) rest += report.lines[i] + L"\n";
    EXPECT_EQ(rest, text.erase(text.find(verdictLine + L"\n"), verdictLine.size() + 1));
  }
  RunStatus ended;
  ended.verdict = Verdict::kConfigured;
  const Report running = TellRun(ended, true, 7);
  EXPECT_EQ(running.eventId, 104u);
  EXPECT_EQ(running.lines[0], L"verdict: incomplete");
  EXPECT_EQ(running.lines[1], L"NuboraService still running after 7 s");
  const Report unread = TellProblem(L"cannot read x (error 2)");
  EXPECT_EQ(unread.eventId, 104u);
  EXPECT_EQ(unread.type, EventType::kError);
  EXPECT_EQ(unread.lines, std::vector<std::wstring>{L"verdict: unknown: cannot read x (error 2)"});
}

TEST(Report, ConsoleLinesArePrefixedStampedUtf8CrLfAndCutAt4Kb) {
  const LocalTime now{2024, 5, 7, 9, 3, 0};
  EXPECT_EQ(ConsoleBytes({L"verdict: configured", L"[\u00e9]"}, now),
            "NuboraService: 2024-05-07 09:03:00 verdict: configured\r\n"
            "NuboraService: 2024-05-07 09:03:00 [\xc3\xa9]\r\n");
  const std::string prefix = "NuboraService: 2024-05-07 09:03:00 ";
  // Lines of 100 bytes each on the console: 40 fit in 4096 bytes, 41 do not.
  const std::wstring line(100 - prefix.size() - 2, L'x');
  for (std::size_t count : {40u, 41u, 200u}) {
    const std::string bytes = ConsoleBytes(std::vector<std::wstring>(count, line), now);
    EXPECT_LE(bytes.size(), kConsoleLimit) << count;
    std::size_t kept = 0;
    for (std::size_t at = 0; (at = bytes.find("xx\r\n", at)) != std::string::npos; at += 4) ++kept;
    const std::string last = bytes.substr(bytes.rfind("\r\n", bytes.size() - 3) + 2);
    if (count == 40) {
      EXPECT_EQ(kept, 40u);
    } else {
      EXPECT_EQ(last, prefix + "the report is cut here: more lines " +
                          std::to_string(count - kept) + "\r\n");
      EXPECT_GT((kept + 1) * 100 + 75, kConsoleLimit);  // one more would not fit
    }
  }
}

TEST(Report, EventTextStaysBelowTheEventLogsLimit) {
  const std::wstring line(99, L'y');  // 101 characters with CR LF
  for (std::size_t count : {1u, 315u, 316u, 400u}) {
    const std::vector<std::wstring> lines(count, line);
    const std::wstring text = EventText(lines);
    EXPECT_LT(text.size(), kEventTextLimit) << count;
    std::size_t kept = 0;
    for (std::size_t at = 0; (at = text.find(line, at)) != std::wstring::npos; at += line.size())
      ++kept;
    if (count * 101 - 2 < kEventTextLimit) {
      EXPECT_EQ(text.size(), count * 101 - 2);
      EXPECT_EQ(kept, count);
    } else {
      EXPECT_EQ(text.substr(text.rfind(L"\r\n") + 2),
                L"the report is cut here: more lines " + Number(count - kept));
      EXPECT_GE((kept + 1) * 101 + 38, kEventTextLimit);  // one more would not fit
    }
  }
}

TEST(Report, WaitsForTheServiceOncePerSecondAtMostSoLong) {
  using S = ServiceRunState;
  const struct {
    std::vector<S> states;
    unsigned long seconds;
    int stopAfter;  // pauses before a stop request; -1: none
    bool stillRunning;
    unsigned long waited;
    bool problem;
  } cases[] = {{{S::kStopped}, 900, -1, false, 0, false},
               {{S::kAbsent}, 900, -1, false, 0, false},
               {{S::kRunning, S::kRunning, S::kStopped}, 900, -1, false, 2, false},
               {{S::kRunning}, 3, -1, true, 3, false},
               {{S::kRunning}, 0, -1, true, 0, false},
               {{S::kRunning}, 900, 2, true, 2, false},
               {{S::kRunning, S::kUnknown}, 900, -1, false, 1, true}};
  for (const auto& c : cases) {
    FakeOutputs fake;
    fake.states = c.states;
    int pauses = 0;
    unsigned long waited = 99;
    std::wstring problem;
    const bool running = WaitForService(
        fake, L"NuboraService", c.seconds,
        [&](unsigned long ms) {
          EXPECT_EQ(ms, 1000u);
          return ++pauses != c.stopAfter + 1;
        },
        waited, problem);
    EXPECT_EQ(running, c.stillRunning) << c.seconds << " " << c.states.size();
    EXPECT_EQ(waited, c.waited) << c.seconds;
    EXPECT_EQ(problem.empty(), !c.problem);
    if (c.problem) {
      EXPECT_NE(problem.find(L"(error 1722)"), std::wstring::npos);
    }
  }
}

TEST(Report, ArgumentsChooseTheOutputsAndFailuresAreToldNotFatal) {
  const std::string log = ::testing::TempDir() + "nubora_report.log";
  std::FILE* file = std::fopen(log.c_str(), "wb");
  std::fputs(
      "start time 2024-5-17, 9: 3: 0\r\nstarting config ip address\r\nconfig file not exist\r\n"
      "config file error , no configure information\r\n",
      file);
  std::fclose(file);
  const std::wstring wlog(log.begin(), log.end());
  const struct {
    std::vector<std::wstring> args;
    unsigned long consoleError, eventError;
    int exitCode;
    const char* ports;  // the ports written, then the events
    std::size_t events;
    const char* err;  // a part of standard error, "" for none
  } cases[] = {
      {{wlog}, 0, 0, 0, "COM1", 1, ""},
      {{wlog, L"--console", L"COM3", L"--no-eventlog"}, 0, 0, 0, "COM3", 0, ""},
      {{wlog, L"--console", L"none"}, 0, 0, 0, "", 1, ""},
      {{wlog},
       2,
       31,
       0,
       "COM1",
       1,
       "cannot write to COM1 (error 2), skipped\nnubora report: cannot write to the Event Log "
       "(error 31)"},
      {{wlog}, kNotAvailable, kNotAvailable, 0, "COM1", 1, ""},
      {{wlog, L"--console"}, 0, 0, 2, "", 0, "--console needs a port or none"},
      {{wlog, L"x"}, 0, 0, 2, "", 0, "one log at a time"},
      {{wlog, L"--bogus"}, 0, 0, 2, "", 0, "unknown option --bogus"},
      {{wlog, L"--codepage", L"0"}, 0, 0, 2, "", 0, "--codepage needs"},
      {{L"--service", L"--install-service"}, 0, 0, 2, "", 0, "one of --service"},
  };
  for (const auto& c : cases) {
    FakeOutputs fake;
    fake.consoleError = c.consoleError;
    fake.eventError = c.eventError;
    std::string out, err;
    EXPECT_EQ(ReportCommand(c.args, fake.Platform(), out, err), c.exitCode) << c.err;
    std::wstring ports;
    for (const std::wstring& port : fake.ports) ports += port;
    EXPECT_EQ(ports, std::wstring(c.ports, c.ports + std::strlen(c.ports))) << c.err;
    EXPECT_EQ(fake.events.size(), c.events) << c.err;
    EXPECT_NE(err.find(c.err), std::string::npos) << err;
    if (*c.err == '\0') {
      EXPECT_EQ(err, "");
    }
    if (c.exitCode != 0) continue;
    EXPECT_EQ(out.substr(0, 33), "verdict: nothing to configure\nsta");
    if (c.events > 0) {
      EXPECT_EQ(fake.events[0].substr(0, 48), L"NuboraService 4 101 verdict: nothing to configur");
    }
    if (!fake.ports.empty()) {
      EXPECT_NE(fake.console.find(" verdict: nothing to configure\r\n"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace nubora
