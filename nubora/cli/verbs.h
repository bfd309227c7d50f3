#pragma once

#include <string>
#include <vector>

namespace nubora {

// One way to call a verb: its arguments ('\n' where the line wraps) and, for
// `nubora --help`, what it does in a line.
struct VerbForm {
  const wchar_t* arguments;
  const wchar_t* purpose;
};

// A verb's synopsis, the one both `nubora --help` and the verb's own help print.
struct VerbSynopsis {
  const wchar_t* name;
  VerbForm forms[2];  // the second's arguments null when the verb has one form
};

extern const VerbSynopsis kPreviewSynopsis, kStatusSynopsis, kReportSynopsis, kDoctorSynopsis,
    kFleetSynopsis;

// The verb's help: "usage: " and its synopsis, then the verb's `explanation`.
std::wstring VerbHelp(const VerbSynopsis& verb, const wchar_t* explanation);

// `nubora` itself, on its arguments when the first is no verb: --help (or -h,
// help) lists every verb's synopsis, --version prints the version the packages
// carry, and anything else is a usage error "nubora: MESSAGE", then the help.
int ToolCommand(const std::vector<std::wstring>& args, std::string& out, std::string& err);

}  // namespace nubora
