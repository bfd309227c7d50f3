#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "logread/adapter_lines.h"
#include "logread/run_model.h"
#include "logread/section_lines.h"

namespace nubora {

// True when the line begins with a prefix the service writes a name after
// (see RunParser::TakeName).
bool StartsWithNamePrefix(const std::wstring& line);

// One run's lines in the order the service writes them (netconfig/run.cpp);
// each stage's own lines go to that stage, with its own cursor.
class RunParser {
 public:
  explicit RunParser(std::size_t firstLine) { run_.firstLine = firstLine; }
  // The start line, whatever it holds.
  void Start(const std::wstring& line, std::size_t number);
  // True when the line is one this run writes next.
  bool Try(const std::wstring& line, std::size_t number);
  // True when the run takes the line next as one that ends in a name it
  // logged after its own prefix (a section's opening or name line, an
  // adapter's found or snapshot name line): such a name may read like a start
  // line, and the line is still this run's.
  bool TakeName(const std::wstring& line, std::size_t number);
  void Unrecognised(const std::wstring& line, std::size_t number);
  RunStatus& Run() { return run_; }
  // The run with its verdict, after its last line.
  RunStatus Finish(const LogLine& cutShort);

 private:
  enum class Stage {
    kStarted,
    kReading,
    kSection,
    kDiscovery,
    kApplying,
    kPostScript,
    kEnded,
    kDone
  };
  bool Accept(const std::wstring& line);
  bool Reading(const std::wstring& line);
  bool Discovery(const std::wstring& line);
  bool Applying(const std::wstring& line);
  bool PostScript(const std::wstring& line);
  bool StopEarly();

  RunStatus run_;
  Stage stage_ = Stage::kStarted;
  SectionCursor section_;
  DiscoveryCursor discovery_;
  ApplyCursor apply_;  // its runner also waits for the post script
};

// Feeds one line of a block to `parser` (`first`: the start line). A whole
// line it refuses goes to `earlier`, a run broken off before this block, when
// that one takes it (true); else it is unrecognised.
bool ReplayLine(RunParser& parser, const BlockLine& line, std::size_t number, bool first,
                RunParser* earlier, LogLine& cutShort);

// Feeds a block's lines to `parser` as ReplayLine: the number of lines
// `earlier` took.
std::size_t Replay(RunParser& parser, const std::vector<BlockLine>& lines, std::size_t firstLine,
                   RunParser* earlier, LogLine& cutShort);

// One whole run's lines, from its start line on.
RunStatus ParseRun(const std::vector<BlockLine>& lines, std::size_t firstLine);

}  // namespace nubora
