#pragma once

// Reading a log's bytes line by line, in chunks of at most a megabyte, the
// middle of a long line left out.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "logread/run_blocks.h"
#include "platform/log_file.h"

namespace nubora {

inline constexpr std::size_t kChunk = 1 << 20;

// A read buffer no larger than what there is to read: a short log costs no
// megabyte.
inline std::vector<char> ReadBuffer(std::uint64_t bytes) {
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
inline std::size_t LineAt(const SharedReadFile& file, std::uint64_t offset) {
  std::size_t lines = 1;
  ReadLines(file, 0, offset, [&](const char*, std::size_t, bool lineEnd) {
    lines += lineEnd;
    return true;
  });
  return lines;
}

// What a line is read for: its first kKeptLineBytes, which are kept, and its
// last, where a start line glued to it would be; its middle is left out once
// it is long.
inline void KeepEnds(std::string& line) {
  if (line.size() > 4 * kKeptLineBytes) {
    line.erase(kKeptLineBytes, line.size() - 2 * kKeptLineBytes);
  }
}

// Hands `line` each line of the bytes [from, to), its middle left out where it
// is long (see KeepEnds), whether its LF was there, and the offset of its end;
// stops early where `line` answers false (then false).
template <typename Line>
bool ForEachLine(const SharedReadFile& file, std::uint64_t from, std::uint64_t to, Line line) {
  std::string pending;
  std::uint64_t at = from;
  const bool read =
      ReadLines(file, from, to, [&](const char* piece, std::size_t length, bool lineEnd) {
        pending.append(piece, length);
        KeepEnds(pending);
        at += length;
        if (!lineEnd) return true;
        const bool more = line(pending, true, at);
        ++at;
        pending.clear();
        return more;
      });
  return read && (pending.empty() || line(pending, false, at));
}

}  // namespace nubora
