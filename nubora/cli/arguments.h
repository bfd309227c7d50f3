#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nubora/cli/verbs.h"

namespace nubora {

// The exit code of a usage error, and of input a verb cannot read at all.
constexpr int kUsageErrorExit = 2;

// A verb's arguments, read one at a time by the verb's own loop:
//
//   Arguments args(kStatusSynopsis, kExplanation, argv);
//   while (args.Next()) {
//     if (args.Is(L"--json")) json = true;
//     else if (args.Is(L"--codepage")) args.CodePage(codePage);
//     else args.Operand(log, L"one log at a time");
//   }
//   if (args.Done(out, err, exitCode)) return exitCode;
//
// `--help` or `-h` anywhere prints the help (the verb's synopsis, then its
// explanation) on standard output, exit code 0.
// The first usage error ends the loop and is printed on standard error as
// "nubora VERB: MESSAGE", then the help, exit code 2.
class Arguments {
 public:
  Arguments(const VerbSynopsis& verb, const wchar_t* explanation, std::vector<std::wstring> args);

  // Moves to the next argument: false at the end, for --help and after an error.
  bool Next();
  bool Is(const wchar_t* name) const;
  // Takes the argument after the current one; an error `missing` when there is none.
  bool Value(std::wstring& value, const wchar_t* missing);
  // Takes the next argument as a decimal number from `min` to `max` (digits
  // only); the error `bad` when it is missing or not such a number.
  bool Number(std::uint64_t min, std::uint64_t max, std::uint64_t& value, const wchar_t* bad);
  // Takes the next argument only when it is a decimal number up to `max`.
  bool OptionalNumber(std::uint64_t max, std::uint64_t& value);
  // --codepage N: a code page this platform can decode.
  void CodePage(unsigned& codePage);
  // The current argument as the verb's one operand: an unknown option when it
  // starts with '-', the error `again` when `operand` is already set.
  void Operand(std::wstring& operand, const wchar_t* again);
  // For a verb that passes over options it does not know: true when the
  // current argument starts with '-', with it and the argument after it
  // unless that starts with '-' too (taken as its value) in `words`.
  bool UnknownOption(std::wstring& words);
  void Fail(const std::wstring& message);

  // After the loop: true when the verb has nothing more to do (help asked,
  // or a usage error), with what to print and the exit code.
  bool Done(std::string& out, std::string& err, int& exitCode) const;
  // A usage error found after the loop: the message and help on `err`, 2.
  int UsageError(const std::wstring& message, std::string& err) const;
  // The log operand, or else the service's log where the platform has one;
  // the error "no log given" elsewhere.
  bool Log(std::wstring& log);

 private:
  std::wstring verb_;
  std::wstring help_;
  std::vector<std::wstring> args_;
  std::size_t next_ = 0;
  bool helpAsked_ = false;
  std::wstring error_;
};

// Whole decimal digits, saturating far beyond any count: false for anything else.
bool ParseDigits(const std::wstring& text, std::uint64_t& value);

}  // namespace nubora
