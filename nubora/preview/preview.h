#pragma once

#include <string>
#include <vector>

namespace nubora {

// nubora preview: shows what a boot would do with FILE.ini, changing nothing.
// Exit code 0 when every enabled section yields a record, no two records share
// a MAC and (with --adapters) every record finds its adapter, or when every
// section is disabled; 1 otherwise or for a misformed item (its command lines
// then not shown), 2 for a usage error, unreadable input or a run that
// cannot be played.
// On the arguments after the verb, with what it would print: `out` in
// the locale's code page (JSON in UTF-8), and `err` for messages.
int PreviewCommand(const std::vector<std::wstring>& args, std::string& out, std::string& err);

}  // namespace nubora
