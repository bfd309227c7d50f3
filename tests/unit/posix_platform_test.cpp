// The Linux stand-ins of the platform, which the preview and the Linux build
// run on: what a test can check of them without a network of its own (the
// adapters are listed in tests/e2e/nubora.sh, in a namespace).
#ifndef _WIN32

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "fakes.h"
#include "platform/event_log.h"
#include "platform/ipv4_text.h"
#include "platform/posix/posix_native.h"
#include "platform/posix/windows_error.h"
#include "platform/serial_console.h"
#include "platform/services.h"
#include "platform/wide_arguments.h"

namespace nubora {
namespace {

TEST(PosixPlatform, AddressTextMasksAndCommandWords) {
  for (const auto& [prefix, dotted] : std::vector<std::pair<unsigned long, const char*>>{
           {0, "0.0.0.0"}, {1, "128.0.0.0"}, {24, "255.255.255.0"}, {32, "255.255.255.255"}}) {
    std::uint32_t mask = 7;
    EXPECT_TRUE(LengthToIpv4Mask(prefix, mask));
    EXPECT_STREQ(Ipv4ToDotted(mask), dotted);
  }
  std::uint32_t mask = 7;
  EXPECT_FALSE(LengthToIpv4Mask(33, mask));
  EXPECT_EQ(SplitCommandLine(L"c:\\x\\cmd.exe /c  \"a b\"\t\"\" c"),
            (std::vector<std::string>{"c/x/cmd.exe", "/c", "a b", "", "c"}));
}

TEST(PosixPlatform, ProcessesEndOrFailToStart) {
  PosixProcessLauncher launcher;
  unsigned long error = 0;
  std::wstring line = L"/bin/sh -c \"exit 0\"";
  auto process = launcher.StartHidden(&line[0], error);
  ASSERT_TRUE(process);
  EXPECT_TRUE(process->WaitFor(5000));
  line = L"/bin/sleep 0.3";  // short: it keeps the test's output open while it runs
  process = launcher.StartHidden(&line[0], error);
  ASSERT_TRUE(process);
  EXPECT_FALSE(process->WaitFor(10));
  line = L"c:\\no\\such.exe";
  // posix_spawn reports a missing file itself or, where it forks first (as
  // under valgrind), through a child that ends at once.
  process = launcher.StartHidden(&line[0], error);
  if (process) {
    EXPECT_TRUE(process->WaitFor(5000));
  } else {
    EXPECT_EQ(error, 2u);
  }
}

TEST(PosixPlatform, ExecutableFilesCopyIntoFoldersTheyCreate) {
  // Its own folder per process: test runs may overlap on one machine.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("nubora-posix-test-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  const std::wstring to = (folder / "copy").wstring();
  PosixExecutableFiles files;
  wchar_t self[4096];
  files.ModulePath(self, 4096);
  EXPECT_EQ(std::filesystem::path(self).filename(), "nubora_unit_tests");
  EXPECT_TRUE(files.CreateFolder(folder.wstring().c_str()));
  EXPECT_TRUE(files.CreateFolder(folder.wstring().c_str()));
  EXPECT_TRUE(files.CopyOver(self, to.c_str()));
  EXPECT_EQ(std::filesystem::file_size(folder / "copy"), std::filesystem::file_size(self));
  EXPECT_FALSE(files.CopyOver((folder / "missing").wstring().c_str(), to.c_str()));
  EXPECT_NE(files.LastError(), 0u);
  std::filesystem::remove_all(folder);
}

// Linux has no Event Log, COM port or service manager: the tool prints instead.
TEST(PosixPlatform, HasNoEventLogSerialPortOrServiceManager) {
  EXPECT_EQ(NativeEventLog().WriteEvent(L"s", EventType::kError, 104, L"x"), kNotAvailable);
  EXPECT_EQ(NativeEventLog().RegisterSource(L"s", L"x"), kNotAvailable);
  EXPECT_EQ(NativeEventLog().RemoveSource(L"s"), kNotAvailable);
  EXPECT_EQ(NativeSerialConsole().Write(L"COM1", "x"), kNotAvailable);
  EXPECT_EQ(NativeServiceWatch().RequestStop(L"NuboraService"), kErrorServiceDoesNotExist);
  // A failure in the words Windows would give: a file in the path, or any other.
  EXPECT_EQ(WindowsError(ENOTDIR), kErrorPathNotFound);
  EXPECT_EQ(WindowsError(EIO), kErrorInvalidParameter);
}

int seen = 0;
int Entry(int argc, wchar_t** argv) { return seen = argc * 10 + (std::wstring(argv[1]) == L"-k"); }

TEST(PosixPlatform, ArgumentsArriveWide) {
  char program[] = "nubora", verb[] = "-k";
  char* argv[] = {program, verb, nullptr};
  EXPECT_EQ(RunWithWideArguments(2, argv, Entry), 21);
}

}  // namespace
}  // namespace nubora

#endif
