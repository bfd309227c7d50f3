#pragma once

#include <string>
#include <vector>

namespace nubora {

// nubora status: what the service's log says about one run (the last by
// default), or one line per run. Exit code: 0 configured or nothing to
// configure, 1 partly configured, not configured, incomplete or no run, 2 for
// a usage error or an unreadable log.
// On the arguments after the verb, with what it would print: `out` as
// text in the locale's code page, or JSON in UTF-8, and `err` for messages.
int StatusCommand(const std::vector<std::wstring>& args, std::string& out, std::string& err);

}  // namespace nubora
