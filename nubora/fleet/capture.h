#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nubora {

// A VM's serial console as the host captured it, read for the last boot
// report it holds (the lines of nubora/report/report_lines.h).

// The most read of one file, from its end, whatever its size.
constexpr std::size_t kCaptureTailLimit = 64 * 1024;

// The last report of a capture, as the console lines tell it.
struct BootReport {
  bool present = false;  // false: "no report"
  std::string verdict;   // one of the report's verdicts (UTF-8)
  std::string reason;    // what follows the verdict, if anything
  std::string clock;     // the report's own time, "YYYY-MM-DD hh:mm:ss"
  bool interim = false;  // told before the run ended; a later report may follow
  bool cut = false;      // its own cut line says lines were left out
  // Output after the last report that is not the report's: a newer boot that
  // told nothing (then present is false and `verdict` is the earlier one's).
  bool newerBoot = false;
  std::size_t errors = 0, warnings = 0;  // the doctor's findings told with it
  std::vector<std::string> findings;     // their lines
};

// Reads the console's `bytes` (oldest first). `atStart`: they begin at the
// start of the capture; otherwise their first line may be a part and is
// dropped. A last line with no line feed may still be being written: dropped.
BootReport ReadBootReport(const std::string& bytes, bool atStart);

// A capture and its rotated parts, the newest first (NAME, NAME.0, NAME.1, ...).
// Reads the newest part's last kCaptureTailLimit bytes (only the last 8 KB
// when they hold a report) and, while a part was
// read whole and holds no verdict line, the older part's last bytes before
// it (so that a line cut by a rotation is joined). 0, or the first part's
// read error.
unsigned long ReadCaptureTail(const std::vector<std::wstring>& parts, std::string& bytes,
                              bool& atStart);

}  // namespace nubora
