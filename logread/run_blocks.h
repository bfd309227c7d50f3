#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logread/run_model.h"
#include "logread/run_parser.h"

namespace nubora {

// A log's bytes cut into runs: a block runs from a start line to the next.

// The bytes of a line the readers keep: far more than any line the service
// writes (a section's name or value of 1023 characters in UTF-8, a command
// line of 259) and than is shown, so that a line of any length (a power cut
// can leave megabytes of NULs) costs at most this much.
constexpr std::size_t kKeptLineBytes = 8192;

// Gives every line number of the run relative to line 1 of its block a base.
void NumberLines(RunStatus& run, std::size_t firstLine);

// True when some part of the run is told by its line number.
bool NeedsLineNumbers(const RunStatus& run);

// The offset of a start line ("start time" and a clock) within the bytes
// [begin, end) of one line without its line end: at its beginning, or glued
// to the end of a line cut short by a power loss; npos when there is none.
// `lastLine`: the file's last line, without a line end, where a start line
// cut short by a power loss also counts (at least "start time").
std::size_t FindStartLine(const std::string& bytes, std::size_t begin, std::size_t end,
                          bool lastLine = false);

// Splits bytes into lines at LF, dropping a CR before it, and decodes them.
std::vector<BlockLine> SplitBlock(const std::string& bytes, unsigned codePage);

// One line without its LF as a block keeps it: without the CR before the LF,
// cut to kKeptLineBytes, decoded.
BlockLine DecodeLine(const std::string& line, bool whole, unsigned codePage);

// One run's lines as the file holds them, up to those a run keeps, and what
// they tell on their own.
struct Block {
  std::vector<BlockLine> lines;
  std::size_t firstLine = 0;
  std::uint64_t offset = 0;  // of its start line in the file
  std::size_t lineEnds = 0;  // its lines that end in an LF, kept or not
  std::size_t notKept = 0;   // lines past those kept
  BlockLine last;            // the last of them
  RunStatus alone;
  bool brokenOff = false;  // no end and no cut line: a start line broke it off
  bool hasUnrecognised = false;
};

// A block built line by line, each line decoded and handed to the run's
// parser as it comes, so that the run can tell a name it logged from a start
// line; past kKeptRunLines lines or kKeptRunBytes bytes the lines are counted.
class BlockBuilder {
 public:
  BlockBuilder(std::size_t firstLine, std::uint64_t offset, unsigned codePage);
  // One line of the file without its LF (`whole`: the LF was there); the start
  // line first.
  void Add(const std::string& line, bool whole);
  // Adds a whole line when the run takes it as one ending in a name it logged
  // (RunParser::TakeName); false, and nothing added, otherwise.
  bool AddName(const std::string& line);
  Block Finish();

 private:
  bool Full() const;

  Block block_;
  RunParser parser_;
  LogLine cutShort_;
  std::size_t keptBytes_ = 0;
  std::string lastBytes_;  // of the last line not kept
  const unsigned codePage_;
};

// Cuts a log's lines into runs as they come: a line holding a start line (see
// FindStartLine) begins a new run there, unless the run it falls in takes it
// whole as a name it logged.
class RunSplitter {
 public:
  using BlockSink = std::function<bool(Block&&)>;  // false: no more blocks wanted
  using LineSink = std::function<void(const std::string&, std::size_t)>;
  // `firstLine`: the number of the first line given; `fileEnd`: the last line
  // given is the file's last, where a start line cut short also counts (else
  // it is one a later run's start line is glued to).
  // `before` gets each line before the first run with its number.
  RunSplitter(unsigned codePage, std::size_t firstLine, bool fileEnd, BlockSink block,
              LineSink before);
  // One line without its LF, its middle possibly left out past its first
  // kKeptLineBytes and before its last 2 * kKeptLineBytes; `lineEnd` is the
  // file offset of its end. False once `block` answered false.
  bool Take(const std::string& line, bool whole, std::uint64_t lineEnd);
  // The last run's block: false when `block` answered false.
  bool Finish();

 private:
  std::unique_ptr<BlockBuilder> run_;
  const unsigned codePage_;
  std::size_t line_;
  const bool fileEnd_;
  BlockSink block_;
  LineSink before_;
};

// The block's run, merged with its neighbours' (null: none) where they
// interleave: where a run was broken off by the next start line and lines
// that only it could have written follow in the next block, two runs wrote at
// once, and each line goes to the run that takes it.
RunStatus MergeRunWithNeighbours(const Block* before, Block& block, const Block* after);

}  // namespace nubora
