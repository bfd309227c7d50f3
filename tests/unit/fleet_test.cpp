// nubora fleet on serial console captures (tests/data/fleet): what it tells
// of each VM's last report, its bounds, names, metrics and exit codes.
#include "nubora/fleet/fleet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fakes.h"
#include "platform/text.h"

namespace nubora {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
const std::string kData = std::string(NUBORA_TEST_DATA_DIR) + "/fleet/";
const std::string kUuid = "4f2c8a1e-0b3d-4c5e-9f6a-7b8c9d0e1f2a";

struct Told {
  int exit = -1;
  Json vms;
  std::string err;
};

Told Fleet(std::vector<std::wstring> args) {
  args.push_back(L"--json");
  Told told;
  std::string out;
  told.exit = FleetCommand(args, out, told.err);
  if (!out.empty()) told.vms = Json::parse(out)["vms"];
  return told;
}

std::string Scratch(const std::string& name, const std::string& bytes) {
  const std::string path = testing::TempPath("fleet_" + name);
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::wstring W(const std::string& path) { return FromUtf8(path); }

TEST(Fleet, TellsTheLastReportOfEachCapture) {
  const std::string report = "\r\nNuboraService: 2024-05-01 10:00:00 verdict: configured\r\n";
  const std::string junk(70 * 1024, 'x');
  struct Case {
    std::string file, verdict;
    bool interim, cut, laterBoot;
    int errors, warnings, exit;
  } cases[] = {
      // clang-format off
      {kData + "configured.log", "configured", false, false, false, 1, 1, 0},
      {kData + "interim-final.log", "partly configured", false, false, false, 0, 0, 1},
      {kData + "interim-only.log", "not run", true, false, false, 0, 0, 1},
      {kData + "cut.log", "not configured", false, true, false, 0, 0, 1},
      {kData + "two-boots.log", "not configured", false, false, false, 0, 0, 1},
      // The reader's choice: output after the last report that is not the
      // report's own is a later boot, which told nothing; blank lines and NULs
      // show none.
      {kData + "later-boot.log", "no report", false, false, true, 0, 0, 1},
      {kData + "blank-after.log", "configured", false, false, false, 0, 0, 0},
      {kData + "nul-holes.log", "nothing to configure", false, false, false, 0, 0, 0},
      {kData + "bare-lf.log", "partly configured", false, false, false, 0, 1, 1},
      {kData + "junk.log", "no report", false, false, false, 0, 0, 1},
      {kData + "no-report.log", "no report", false, false, false, 0, 0, 1},
      {kData + "rotated/vm.log", "not configured", false, false, false, 1, 0, 1},
      {kData + "missing.log", "unreadable", false, false, false, 0, 0, 2},
      // Only the last 64 KB: a report before them is not seen, one after
      // junk the bound cuts is, its part-line dropped.
      {Scratch("far.log", report + std::string(65 * 1024, '\0')), "no report", false, false, false, 0, 0, 1},
      {Scratch("near.log", junk + report), "configured", false, false, false, 0, 0, 0},
      {Scratch("mid.log", junk + report + std::string(20 * 1024, '\0')), "configured", false, false, false, 0, 0, 0},
      {Scratch("cut-line.log", junk + report.substr(8)), "no report", false, false, false, 0, 0, 1},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Told told = Fleet({W(c.file)});
    EXPECT_EQ(told.exit, c.exit);
    ASSERT_EQ(told.vms.size(), 1u);
    const Json& vm = told.vms[0];
    EXPECT_EQ(vm["verdict"], c.verdict);
    EXPECT_EQ(vm["interim"], c.interim);
    EXPECT_EQ(vm["cut"], c.cut);
    EXPECT_EQ(vm["later_boot"], c.laterBoot);
    EXPECT_EQ(vm["findings"]["errors"], c.errors);
    EXPECT_EQ(vm["findings"]["warnings"], c.warnings);
    EXPECT_EQ(vm["findings"]["lines"].size(), static_cast<std::size_t>(c.errors + c.warnings));
  }
}

TEST(Fleet, NamesEachVmAndPutsTheWorstFirst) {
  const std::string report = Scratch(kUuid + "/console.log", "");
  fs::copy_file(kData + "configured.log", report, fs::copy_options::overwrite_existing);
  const std::string map = Scratch("map", "# capture uuid name\n" + kUuid +
                                             "  web 01\r\n"
                                             "cut.log 00000000-0000-0000-0000-0000000000AB db\n");
  const Told told =
      Fleet({W(report), W(kData + "cut.log"), W(kData + "rotated"), L"--map", W(map)});
  EXPECT_EQ(told.exit, 1);
  ASSERT_EQ(told.vms.size(), 3u);  // vm.log.1 is a part of vm.log
  const char* expected[][3] = {{"db", "00000000-0000-0000-0000-0000000000ab", "not configured"},
                               {"vm", nullptr, "not configured"},
                               {"web 01", kUuid.c_str(), "configured"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(told.vms[i]["vm"], expected[i][0]);
    EXPECT_EQ(told.vms[i]["uuid"], expected[i][1] ? Json(expected[i][1]) : Json());
    EXPECT_EQ(told.vms[i]["verdict"], expected[i][2]);
  }
}

TEST(Fleet, MarksStaleCapturesAndRejectsBadInput) {
  const std::string old = Scratch("old.log", "");
  fs::copy_file(kData + "configured.log", old, fs::copy_options::overwrite_existing);
  fs::last_write_time(old, fs::last_write_time(old) - std::chrono::hours(1));
  EXPECT_EQ(Fleet({W(old), L"--stale", L"60"}).vms[0]["stale"], true);
  EXPECT_EQ(Fleet({W(old), L"--stale", L"3600"}).vms[0]["stale"], true);  // S seconds: stale
  EXPECT_EQ(Fleet({W(old), L"--stale", L"7200"}).vms[0]["stale"], false);
  EXPECT_EQ(Fleet({W(kData + "no-report.log"), L"--stale", L"1"}).vms[0]["stale"], false);
  const std::vector<std::wstring> bad[] = {
      {},
      {W(old), L"--stale", L"soon"},
      {W(old), L"--map", W(Scratch("bad-map", "web01 not-a-uuid\n"))},
      {W(old), L"--map", W(kData + "missing")},
      {W(old), L"--prom", W(kData + "missing/fleet.prom")}};
  for (const auto& args : bad)
    EXPECT_EQ(Fleet(args).exit, 2) << Utf8(args.empty() ? L"" : args.back());
  // Metrics it cannot put in place (a folder there) leave no temporary file.
  const std::string folder = fs::path(Scratch("promdir/x", "")).parent_path().string();
  EXPECT_EQ(Fleet({W(old), L"--prom", W(folder)}).exit, 2);
  for (const auto& entry : fs::directory_iterator(fs::path(folder).parent_path()))
    EXPECT_EQ(entry.path().string().find(folder + ".new"), std::string::npos);
}

TEST(Fleet, WritesTheMetricsOfEveryVm) {
  const std::string prom = testing::TempPath("fleet.prom");
  std::string out, err;
  EXPECT_EQ(FleetCommand({W(kData + "cut.log"), W(kData + "missing.log"),
                          W(kData + "no-report.log"), L"--prom", W(prom)},
                         out, err),
            2);
  std::ifstream in(prom);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("# HELP nubora_", 0), 0u) << text.substr(0, 20);
  for (const char* line :
       {"nubora_boot_verdict{vm_uuid=\"\",vm=\"cut\",verdict=\"not configured\"} 1\n",
        "nubora_boot_verdict{vm_uuid=\"\",vm=\"cut\",verdict=\"configured\"} 0\n",
        "nubora_boot_verdict{vm_uuid=\"\",vm=\"no-report\",verdict=\"not run\"} 0\n",
        "nubora_boot_report_present{vm_uuid=\"\",vm=\"no-report\"} 0\n",
        "nubora_boot_report_cut{vm_uuid=\"\",vm=\"cut\"} 1\n",
        "nubora_doctor_findings{vm_uuid=\"\",vm=\"cut\",severity=\"error\"} 0\n",
        "# TYPE nubora_boot_report_written_timestamp_seconds gauge\n",
        "nubora_fleet_files_unreadable 1\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(text.find("vm=\"missing\""), std::string::npos);
  // Seven verdicts for each of the two VMs read, whatever they hold.
  std::size_t verdicts = 0;
  for (std::size_t at = text.find("\nnubora_boot_verdict{"); at != std::string::npos;
       at = text.find("\nnubora_boot_verdict{", at + 1)) {
    ++verdicts;
  }
  EXPECT_EQ(verdicts, 14u);
  FleetVm named;
  named.vm = "a \"b\"\\\n";
  EXPECT_NE(FleetMetrics({named}, 0).find("vm=\"a \\\"b\\\"\\\\\\n\""), std::string::npos);
}

}  // namespace
}  // namespace nubora
