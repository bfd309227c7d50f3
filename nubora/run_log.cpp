#include "nubora/run_log.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "nubora/run_blocks.h"
#include "platform/log_file.h"

namespace nubora {

namespace {

constexpr std::size_t kChunk = 1 << 20;

// A read buffer no larger than what there is to read: a short log costs no
// megabyte.
std::vector<char> ReadBuffer(std::uint64_t bytes) {
  return std::vector<char>(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, bytes)) + 1);
}

// The number of the line that holds byte `offset`: one linear pass over what
// lies before it.
std::size_t LineAt(const SharedReadFile& file, std::uint64_t offset) {
  std::vector<char> buffer = ReadBuffer(offset);
  std::size_t lines = 1;
  for (std::uint64_t at = 0; at < offset;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), offset - at));
    const std::size_t got = file.ReadAt(at, buffer.data(), want);
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) lines += buffer[i] == '\n';
    at += got;
  }
  return lines;
}

// The start lines of a log, found from its end backwards. It reads in chunks
// that double, so that a block of any length costs one pass over itself:
// `tail_` holds the bytes [base_, size).
class BackwardStarts {
 public:
  BackwardStarts(const SharedReadFile& file, std::uint64_t size) : file_(file), base_(size) {}

  // The offset of the next start line further back; false when there is none.
  bool Next(std::uint64_t& offset) {
    while (!done_) {
      const std::size_t end = tail_.size() - lineEnd_;
      const std::size_t newline = end == 0 ? std::string::npos : tail_.rfind('\n', end - 1);
      if (newline == std::string::npos && base_ > 0) {
        if (!ReadChunk()) return false;
        continue;  // its beginning is further back
      }
      const std::size_t begin = newline == std::string::npos ? 0 : newline + 1;
      const std::size_t start = FindStartLine(tail_, begin, end, lineEnd_ == 0);
      if (newline == std::string::npos) {
        done_ = true;
      } else {
        lineEnd_ = tail_.size() - newline;
      }
      if (start != std::string::npos) {
        offset = base_ + start;
        return true;
      }
    }
    return false;
  }

  std::string Bytes(std::uint64_t from, std::uint64_t to) const {
    return tail_.substr(static_cast<std::size_t>(from - base_),
                        static_cast<std::size_t>(to - from));
  }

 private:
  bool ReadChunk() {
    const std::size_t chunk = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::size_t>(4096, tail_.size()), base_));
    std::string bytes(chunk, '\0');
    if (file_.ReadAt(base_ - chunk, &bytes[0], chunk) != chunk) return false;
    base_ -= chunk;
    tail_.insert(0, bytes);
    return true;
  }

  const SharedReadFile& file_;
  std::uint64_t base_;
  std::string tail_;
  std::size_t lineEnd_ = 0;  // end of the next line to examine, from the end of `tail_`
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
  const std::string bytes = starts.Bytes(offset, blockEnd);
  Block block = MakeBlock(bytes, 1, codePage);
  std::uint64_t origin = offset;
  Block before, after;
  bool hasBefore = false, hasAfter = false;
  if (block.hasUnrecognised && starts.Next(origin)) {
    const std::string prior = starts.Bytes(origin, offset);
    before = MakeBlock(prior, 1, codePage);
    hasBefore = true;
    block.firstLine += static_cast<std::size_t>(std::count(prior.begin(), prior.end(), '\n'));
    NumberLines(block.alone, block.firstLine);
  }
  if (blockEnd < size && block.brokenOff) {
    after = MakeBlock(starts.Bytes(blockEnd, afterEnd),
                      block.firstLine + std::count(bytes.begin(), bytes.end(), '\n'), codePage);
    hasAfter = true;
  }
  run = Tell(hasBefore ? &before : nullptr, block, hasAfter ? &after : nullptr);
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
    if (current && !visit(Tell(previous.get(), *current, &next))) return false;
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
  // One line of the file without its LF; `whole` when the LF was there.
  auto take = [&](const std::string& text, bool whole) -> bool {
    const std::size_t start = FindStartLine(text, 0, text.size(), !whole);
    if (start != 0) {
      // The whole line, or what a power loss left of it before the next run.
      const std::string head = text.substr(0, start);
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
  std::vector<char> buffer = ReadBuffer(file.Size());
  for (std::uint64_t at = 0;;) {
    const std::size_t got = file.ReadAt(at, buffer.data(), buffer.size());
    if (got == 0) break;
    at += got;
    for (std::size_t i = 0; i < got;) {
      const char* newline = static_cast<const char*>(std::memchr(&buffer[i], '\n', got - i));
      const std::size_t end =
          newline == nullptr ? got : static_cast<std::size_t>(newline - &buffer[0]);
      pending.append(&buffer[i], end - i);
      i = end;
      if (newline == nullptr) break;
      ++i;
      if (!take(pending, true)) return scan;
      pending.clear();
    }
  }
  if (!pending.empty() && !take(pending, false)) return scan;
  if (inRun && !add(MakeBlock(block, blockLine, codePage))) return scan;
  if (current) visit(Tell(previous.get(), *current, nullptr));
  return scan;
}

}  // namespace nubora
