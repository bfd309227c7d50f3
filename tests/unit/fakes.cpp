#include "fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
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

Platform WithInstallSystem(FakeInstallSystem& fake) {
  Platform platform = CurrentPlatform();
  platform.services = &fake;
  platform.files = &fake;
  return platform;
}

std::string TempPath(const std::string& name) {
  static const std::string process = std::to_string(std::random_device{}());
  return ::testing::TempDir() + "nubora_" + process + "_" + name;
}

void WriteFile(const std::string& path, const std::string& bytes, bool append) {
  std::ofstream(path, append ? std::ios::binary | std::ios::app : std::ios::binary) << bytes;
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

std::size_t Occurrences(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

bool LeavesNothingToDo(const std::string& runText) {
  const std::string text = "\n" + runText;
  return Occurrences(text, "\nverdict: configured\n") +
             Occurrences(text, "\nverdict: nothing to configure\n") >
         0;
}

std::string WithClockForm(const std::string& log) {
  static const std::regex clock(
      R"((^|\n)(start|end) time \d{4}-\d{1,2}-\d{1,2},[ \d]{2}:[ \d]{2}:[ \d]{2}(?=\r?\n|$))");
  return std::regex_replace(log, clock, "$1$2 time <time>");
}

std::wstring DoctorData(const std::string& name) {
  const std::string path = NUBORA_TEST_DATA_DIR "/doctor/" + name;
  return std::wstring(path.begin(), path.end());
}

MachineDescription DoctorMachine(const std::string& name) {
  MachineDescription machine;
  std::wstring error;
  EXPECT_TRUE(LoadMachineFile(DoctorData(name + ".ini"), machine, error)) << name;
  return machine;
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
