#include "logread/run_log.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "logread/run_blocks.h"
#include "platform/code_page.h"
#include "platform/log_file.h"

namespace nubora {

namespace {

constexpr std::size_t kChunk = 1 << 20;

// A read buffer no larger than what there is to read: a short log costs no
// megabyte.
std::vector<char> ReadBuffer(std::uint64_t bytes) {
  return std::vector<char>(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, bytes)) + 1);
}

// Reads the bytes [from, to) in chunks, handing `piece` each stretch of them
// within one line, and whether an LF (left out) ends it there; stops early
// where `piece` answers false.
template <typename Piece>
bool ReadLines(const SharedReadFile& file, std::uint64_t from, std::uint64_t to, Piece piece) {
  std::vector<char> buffer = ReadBuffer(to - from);
  for (std::uint64_t at = from; at < to;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), to - at));
    const std::size_t got = file.ReadAt(at, buffer.data(), want);
    if (got == 0) break;
    at += got;
    for (std::size_t i = 0; i < got;) {
      const char* newline = static_cast<const char*>(std::memchr(&buffer[i], '\n', got - i));
      const std::size_t end =
          newline == nullptr ? got : static_cast<std::size_t>(newline - &buffer[0]);
      if (!piece(&buffer[i], end - i, newline != nullptr)) return false;
      i = end + 1;
    }
  }
  return true;
}

// The number of the line that holds byte `offset`.
std::size_t LineAt(const SharedReadFile& file, std::uint64_t offset) {
  std::size_t lines = 1;
  ReadLines(file, 0, offset, [&](const char*, std::size_t, bool lineEnd) {
    lines += lineEnd;
    return true;
  });
  return lines;
}

// The bytes [from, to) of the file with each line cut to its first
// kKeptLineBytes: a line of any length costs at most that much.
std::string KeptBytes(const SharedReadFile& file, std::uint64_t from, std::uint64_t to) {
  std::string bytes;
  std::size_t lineLength = 0;
  ReadLines(file, from, to, [&](const char* piece, std::size_t length, bool lineEnd) {
    bytes.append(piece, std::min(length, kKeptLineBytes - std::min(lineLength, kKeptLineBytes)));
    lineLength += length;
    if (lineEnd) bytes += '\n', lineLength = 0;
    return true;
  });
  return bytes;
}

// What a line is read for: its first kKeptLineBytes, which are kept, and its
// last, where a start line glued to it would be; its middle is left out once
// it is long.
void KeepEnds(std::string& line) {
  if (line.size() > 4 * kKeptLineBytes) {
    line.erase(kKeptLineBytes, line.size() - 2 * kKeptLineBytes);
  }
}

// The start lines of a log, found from its end backwards, line by line: a
// window of the file finds the line ends, and only the last kKeptLineBytes of
// a line are searched, where a start line glued to it would be.
class BackwardStarts {
 public:
  BackwardStarts(const SharedReadFile& file, std::uint64_t size)
      : file_(file), size_(size), lineEnd_(size), windowBase_(size) {}

  // The offset of the next start line further back; false when there is none.
  bool Next(std::uint64_t& offset) {
    while (!done_) {
      std::uint64_t lineBegin = 0;
      if (!FindLineBegin(lineBegin)) return false;
      const std::uint64_t from = std::max<std::uint64_t>(
          lineBegin, lineEnd_ - std::min<std::uint64_t>(lineEnd_, kKeptLineBytes));
      std::string bytes;
      if (!Read(from, lineEnd_, bytes)) return false;
      const std::size_t start = FindStartLine(bytes, 0, bytes.size(), lineEnd_ == size_);
      done_ = lineBegin == 0;
      if (!done_) lineEnd_ = lineBegin - 1;
      if (start != std::string::npos) {
        offset = from + start;
        return true;
      }
    }
    return false;
  }

 private:
  bool Read(std::uint64_t from, std::uint64_t to, std::string& bytes) const {
    if (from >= windowBase_ && to <= windowBase_ + window_.size()) {
      bytes.assign(window_, static_cast<std::size_t>(from - windowBase_),
                   static_cast<std::size_t>(to - from));
      return true;
    }
    bytes.assign(static_cast<std::size_t>(to - from), '\0');
    return bytes.empty() || file_.ReadAt(from, &bytes[0], bytes.size()) == bytes.size();
  }

  // The first byte of the line that ends at `lineEnd_`: after the LF before
  // it, or the file's first byte.
  bool FindLineBegin(std::uint64_t& begin) {
    for (std::uint64_t end = lineEnd_;;) {
      if (end > windowBase_) {
        const std::size_t length = static_cast<std::size_t>(end - windowBase_);
        for (std::size_t i = length; i > 0; --i) {
          if (window_[i - 1] == '\n') {
            begin = windowBase_ + i;
            return true;
          }
        }
        end = windowBase_;
      }
      if (windowBase_ == 0) {
        begin = 0;
        return true;
      }
      const std::size_t chunk =
          static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, windowBase_));
      window_.resize(chunk);
      if (file_.ReadAt(windowBase_ - chunk, &window_[0], chunk) != chunk) return false;
      windowBase_ -= chunk;
    }
  }

  static constexpr std::size_t kWindow = 1 << 16;
  const SharedReadFile& file_;
  const std::uint64_t size_;
  std::uint64_t lineEnd_;  // the end of the next line to examine, before its LF
  std::uint64_t windowBase_;
  std::string window_;  // the bytes from `windowBase_` on
  bool done_ = false;
};

}  // namespace

bool ReadRunFromEnd(const SharedReadFile& file, std::size_t fromEnd, unsigned codePage,
                    RunStatus& run) {
  const std::uint64_t size = file.Size();
  BackwardStarts starts(file, size);
  std::uint64_t offset = 0, blockEnd = size, afterEnd = size;
  for (std::size_t seen = 0; seen < fromEnd; ++seen) {
    if (seen > 0) afterEnd = blockEnd, blockEnd = offset;
    if (!starts.Next(offset)) return false;
  }
  // Its neighbours are read only where two runs may have written at once.
  const std::string bytes = KeptBytes(file, offset, blockEnd);
  Block block = MakeBlock(bytes, 1, codePage);
  std::uint64_t origin = offset;
  Block before, after;
  bool hasBefore = false, hasAfter = false;
  if (block.hasUnrecognised && starts.Next(origin)) {
    const std::string prior = KeptBytes(file, origin, offset);
    before = MakeBlock(prior, 1, codePage);
    hasBefore = true;
    block.firstLine += static_cast<std::size_t>(std::count(prior.begin(), prior.end(), '\n'));
    NumberLines(block.alone, block.firstLine);
  }
  if (blockEnd < size && block.brokenOff) {
    after = MakeBlock(KeptBytes(file, blockEnd, afterEnd),
                      block.firstLine + std::count(bytes.begin(), bytes.end(), '\n'), codePage);
    hasAfter = true;
  }
  run = MergeRunWithNeighbours(hasBefore ? &before : nullptr, block, hasAfter ? &after : nullptr);
  if (NeedsLineNumbers(run)) {
    NumberLines(run, run.firstLine + LineAt(file, origin) - 1);
  } else if (offset > 0) {
    run.firstLine = 0;  // not counted: nothing is told by its number
  }
  return true;
}

LogScan ScanRuns(const SharedReadFile& file, unsigned codePage,
                 const std::function<bool(RunStatus&&)>& visit) {
  LogScan scan;
  std::string block, pending;
  std::size_t blockLine = 0, line = 1;
  bool inRun = false;
  // A run is told once the block after it is known: the two may overlap.
  std::unique_ptr<Block> previous, current;
  auto add = [&](Block&& next) -> bool {
    if (current && !visit(MergeRunWithNeighbours(previous.get(), *current, &next))) return false;
    previous = std::move(current);
    current.reset(new Block(std::move(next)));
    return true;
  };
  // Lines before the first run belong to none: nothing there is understood,
  // blank lines aside.
  auto before = [&](const std::string& text) {
    std::wstring decoded;
    const bool cr = !text.empty() && text.back() == '\r';
    DecodeCodePage(text.substr(0, text.size() - (cr ? 1 : 0)), codePage, decoded);
    if (decoded.empty()) return;
    if (scan.before.size() < kMaxKeptLines) scan.before.push_back({line, decoded});
    ++scan.beforeCount;
  };
  // One line of the file without its LF, its middle left out where it is
  // long (see KeepEnds); `whole` when the LF was there.
  auto take = [&](const std::string& text, bool whole) -> bool {
    const std::size_t start = FindStartLine(
        text, text.size() - std::min(text.size(), kKeptLineBytes), text.size(), !whole);
    if (start != 0) {
      // The whole line, or what a power loss left of it before the next run.
      const std::string head = text.substr(0, std::min(start, kKeptLineBytes));
      if (inRun) block += head;
      if (!inRun && !head.empty()) before(head);
    }
    if (start != std::string::npos) {
      if (inRun && !add(MakeBlock(block, blockLine, codePage))) return false;
      ++scan.runs;
      block.assign(text, start, std::string::npos);
      blockLine = line;
      inRun = true;
    }
    if (whole && inRun) block += '\n';
    ++line;
    return true;
  };
  const bool read =
      ReadLines(file, 0, file.Size(), [&](const char* piece, std::size_t length, bool lineEnd) {
        pending.append(piece, length);
        KeepEnds(pending);
        if (!lineEnd) return true;
        const bool more = take(pending, true);
        pending.clear();
        return more;
      });
  if (!read) return scan;
  if (!pending.empty() && !take(pending, false)) return scan;
  if (inRun && !add(MakeBlock(block, blockLine, codePage))) return scan;
  if (current) visit(MergeRunWithNeighbours(previous.get(), *current, nullptr));
  return scan;
}

}  // namespace nubora
