// The doctor on a described machine: the input is an INI file, a machine
// file and a log, split at the byte 1E (the machine file's LOG=log names
// it); nothing is written but these files. Every finding has an ID and
// evidence names the JSON schema lists, a section of the INI or none, an
// address and a MAC in the schema's form; the text shows each finding once
// and counts them right.
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "fuzz_support.h"
#include "nubora/doctor/doctor.h"
#include "nubora/machine/stand_ins.h"
#include "nubora/runtext/run_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nubora;
  std::vector<std::string> parts = fuzz::Split(std::string(data, data + size), std::string("\x1E"));
  parts.resize(std::max<std::size_t>(parts.size(), 3));
  const char* const kNames[] = {"ini", "machine", "log"};
  for (int i = 0; i < 3; ++i) fuzz::FileWith(parts[i], kNames[i]);
  MachineDescription description;
  std::wstring error;
  const std::wstring folder = fuzz::Wide(fuzz::TempFolder()) + L"/";
  if (!LoadMachineFile(folder + L"machine", description, error)) return 0;
  DescribedMachine machine(description);
  const Diagnosis diagnosis = Diagnose(folder + L"ini", description.log, machine.View());
  FUZZ_CHECK(diagnosis.adaptersError == 0);

  static const nlohmann::json schema = nlohmann::json::parse(
      std::ifstream(NUBORA_DOCTOR_SCHEMA))["definitions"]["finding"]["properties"];
  const auto listed = [](const nlohmann::json& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  static const std::wregex kForms[] = {std::wregex(L"[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+"),
                                       std::wregex(L"([0-9a-f]{2}-){5}[0-9a-f]{2}")};
  std::size_t counts[3] = {};
  for (const Finding& finding : diagnosis.findings) {
    FUZZ_CHECK(listed(schema["id"]["enum"], finding.id));
    FUZZ_CHECK(listed(schema["severity"]["enum"], SeverityText(finding.severity)));
    ++counts[static_cast<int>(finding.severity)];
    FUZZ_CHECK(finding.section.empty() ||
               std::count(diagnosis.sections.begin(), diagnosis.sections.end(), finding.section));
    FUZZ_CHECK(!finding.summary.empty() && !finding.fix.empty());
    for (const auto& [name, value] : finding.evidence) {
      FUZZ_CHECK(schema["evidence"]["properties"].contains(name));
      const int form = std::string(name) == "address" ? 0 : std::string(name) == "mac" ? 1 : -1;
      FUZZ_CHECK(form < 0 || std::regex_match(value, kForms[form]));
    }
  }
  // One line indented by two blanks each (evidence by four), the count last.
  const std::wstring text = FindingsText(diagnosis);
  std::size_t headed = 0;
  for (std::size_t at = 0; (at = text.find(L"\n  ", at)) != std::wstring::npos; ++at) {
    headed += text.compare(at + 3, 1, L" ") != 0;
  }
  FUZZ_CHECK(headed == diagnosis.findings.size());
  const std::wstring total = Number(counts[2]) + L" error(s), " + Number(counts[1]) +
                             L" warning(s), " + Number(counts[0]) + L" info\n";
  FUZZ_CHECK(text.size() >= total.size() && text.substr(text.size() - total.size()) == total);
  return 0;
}
