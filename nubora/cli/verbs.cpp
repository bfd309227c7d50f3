#include "nubora/cli/verbs.h"

#include "nubora/cli/arguments.h"
#include "platform/code_page.h"

namespace nubora {

const VerbSynopsis kPreviewSynopsis = {L"preview",
                                       {{L"FILE.ini [--adapters ADAPTERS.ini|host] [--json]",
                                         L"what a boot would do with FILE.ini, changing nothing"}}};
const VerbSynopsis kStatusSynopsis = {
    L"status",
    {{L"[LOG] [--run N | --all] [--json] [--codepage N]",
      L"what the service's log says about its last run (or run N, or all)"}}};
const VerbSynopsis kReportSynopsis = {
    L"report",
    {{L"[LOG] [--console PORT|none] [--no-eventlog]\n[--wait-for-service [SECONDS]] [--codepage N]",
      L"tells the last run on the serial console and in the Event Log"},
     {L"--install-service [--allow-writable-folder] | --uninstall-service",
      L"the service that reports every boot's run"}}};
const VerbSynopsis kDoctorSynopsis = {
    L"doctor",
    {{L"[INI] [--machine FILE|host] [--json]\n[--fix ghost-addresses [--backup FILE]]",
      L"what stands between this machine and the network INI asks for"}}};

const VerbSynopsis kFleetSynopsis = {
    L"fleet",
    {{L"PATH... [--map FILE] [--json] [--prom FILE] [--stale S]",
      L"on the host: every VM's last boot report in its captured serial console"}}};

namespace {

const VerbSynopsis* const kVerbs[] = {&kPreviewSynopsis, &kStatusSynopsis, &kReportSynopsis,
                                      &kDoctorSynopsis, &kFleetSynopsis};

// One form after `lead`; a wrapped line goes on under the form's first argument.
std::wstring FormLines(const VerbSynopsis& verb, const VerbForm& form, const std::wstring& lead) {
  const std::wstring head = lead + L"nubora " + verb.name + L" ";
  std::wstring lines = head;
  for (const wchar_t* c = form.arguments; *c != L'\0'; ++c) {
    lines += *c;
    if (*c == L'\n') lines.append(head.size(), L' ');
  }
  return lines + L"\n";
}

}  // namespace

std::wstring VerbHelp(const VerbSynopsis& verb, const wchar_t* explanation) {
  std::wstring help = FormLines(verb, verb.forms[0], L"usage: ");
  if (verb.forms[1].arguments != nullptr) help += FormLines(verb, verb.forms[1], L"       ");
  return help + explanation;
}

int ToolCommand(const std::vector<std::wstring>& args, std::string& out, std::string& err) {
  const std::wstring first = args.empty() ? L"" : args[0];
  if (first == L"--version") {
    out = "nubora " NUBORA_VERSION "\n";
    return 0;
  }
  std::wstring help = L"usage: nubora VERB ...\n";
  for (const VerbSynopsis* verb : kVerbs) {
    for (const VerbForm& form : verb->forms) {
      if (form.arguments != nullptr) {
        help += FormLines(*verb, form, L"  ") + L"      " + form.purpose + L"\n";
      }
    }
  }
  help +=
      L"  nubora VERB --help   more about one verb\n"
      L"  nubora --version     the version of the tool and its packages\n";
  if (first == L"--help" || first == L"-h" || first == L"help") {
    out = ToMultibyte(help);
    return 0;
  }
  const std::wstring message = first.empty() ? L"no verb given" : L"unknown verb " + first;
  err = ToMultibyte(L"nubora: " + message + L"\n" + help);
  return kUsageErrorExit;
}

}  // namespace nubora
