#pragma once

#include <string>
#include <vector>

#include "nubora/report/report.h"

namespace nubora {

// On the arguments after the verb, over `platform`, with what it prints on
// standard output and standard error.
int ReportCommand(const std::vector<std::wstring>& args, const ReportPlatform& platform,
                  std::string& out, std::string& err);

}  // namespace nubora
