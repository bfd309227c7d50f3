#include "fakes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "netconfig/log.h"

namespace nubora::testing {

LogCapture::LogCapture() : file_(std::tmpfile()) { SetLogStream(file_); }

LogCapture::~LogCapture() {
  SetLogStream(nullptr);
  if (file_ != nullptr) std::fclose(file_);
}

std::string LogCapture::Text() {
  std::fflush(file_);
  std::rewind(file_);
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof(chunk), file_)) > 0;) text.append(chunk, n);
  std::fseek(file_, 0, SEEK_END);
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::string result = text.str();
  result.erase(std::remove(result.begin(), result.end(), '\r'), result.end());
  return result;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string WithClockForm(const std::string& log) {
  static const std::regex clock(
      R"((^|\n)(start|end) time \d{4}-\d{1,2}-\d{1,2},[ \d]{2}:[ \d]{2}:[ \d]{2}(?=\r?\n|$))");
  return std::regex_replace(log, clock, "$1$2 time <time>");
}

std::vector<std::string> ScenarioNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(NUBORA_SCENARIOS_DIR)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace nubora::testing
