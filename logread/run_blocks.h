#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "logread/run_model.h"

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

// One run's lines as the file holds them, and what they tell on their own.
struct Block {
  std::vector<BlockLine> lines;
  std::size_t firstLine = 0;
  RunStatus alone;
  bool brokenOff = false;  // no end and no cut line: a start line broke it off
  bool hasUnrecognised = false;
};
Block MakeBlock(const std::string& bytes, std::size_t firstLine, unsigned codePage);

// The block's run, merged with its neighbours' (null: none) where they
// interleave: where a run was broken off by the next start line and lines
// that only it could have written follow in the next block, two runs wrote at
// once, and each line goes to the run that takes it.
RunStatus MergeRunWithNeighbours(const Block* before, Block& block, const Block* after);

}  // namespace nubora
