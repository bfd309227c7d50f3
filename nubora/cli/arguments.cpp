#include "nubora/cli/arguments.h"

#include <algorithm>
#include <utility>

#include "netconfig/paths.h"
#include "platform/code_page.h"

namespace nubora {

bool ParseDigits(const std::wstring& text, std::uint64_t& value) {
  if (text.empty()) return false;
  value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    const unsigned digit = static_cast<unsigned>(c - L'0');
    value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
  }
  return true;
}

Arguments::Arguments(const VerbSynopsis& verb, const wchar_t* explanation,
                     std::vector<std::wstring> args)
    : verb_(verb.name), help_(VerbHelp(verb, explanation)), args_(std::move(args)) {
  // Help wins wherever it stands, even as another option's value.
  for (const std::wstring& arg : args_) helpAsked_ = helpAsked_ || arg == L"--help" || arg == L"-h";
}

bool Arguments::Next() {
  if (helpAsked_ || !error_.empty() || next_ >= args_.size()) return false;
  ++next_;
  return true;
}

bool Arguments::Is(const wchar_t* name) const { return next_ > 0 && args_[next_ - 1] == name; }

bool Arguments::Value(std::wstring& value, const wchar_t* missing) {
  if (next_ >= args_.size()) {
    Fail(missing);
    return false;
  }
  value = args_[next_++];
  return true;
}

bool Arguments::Number(std::uint64_t min, std::uint64_t max, std::uint64_t& value,
                       const wchar_t* bad) {
  std::uint64_t number = 0;
  if (next_ >= args_.size() || !ParseDigits(args_[next_++], number) || number < min ||
      number > max) {
    Fail(bad);
    return false;
  }
  value = number;
  return true;
}

bool Arguments::OptionalNumber(std::uint64_t max, std::uint64_t& value) {
  std::uint64_t number = 0;
  if (next_ >= args_.size() || !ParseDigits(args_[next_], number)) return false;
  value = std::min(number, max);
  ++next_;
  return true;
}

void Arguments::CodePage(unsigned& codePage) {
  std::uint64_t number = 0;
  if (!Number(1, 65535, number, L"--codepage needs a code page number")) return;
  std::wstring probe;
  if (DecodeCodePage(std::string(), static_cast<unsigned>(number), probe)) {
    codePage = static_cast<unsigned>(number);
  } else {
    Fail(L"code page " + std::to_wstring(number) + L" is not known here");
  }
}

void Arguments::Operand(std::wstring& operand, const wchar_t* again) {
  const std::wstring& arg = args_[next_ - 1];
  if (!arg.empty() && arg[0] == L'-') {
    Fail(L"unknown option " + arg);
  } else if (!operand.empty()) {
    Fail(again);
  } else {
    operand = arg;
  }
}

bool Arguments::UnknownOption(std::wstring& words) {
  words = args_[next_ - 1];
  if (words.empty() || words[0] != L'-') return false;
  if (next_ < args_.size() && (args_[next_].empty() || args_[next_][0] != L'-')) {
    words += L" " + args_[next_++];
  }
  return true;
}

void Arguments::Fail(const std::wstring& message) {
  if (error_.empty()) error_ = message;
}

bool Arguments::Log(std::wstring& log) {
#if defined(_WIN32)
  if (log.empty()) log = kLogPath;
#endif
  if (log.empty()) Fail(L"no log given");
  return !log.empty();
}

bool Arguments::Done(std::string& out, std::string& err, int& exitCode) const {
  if (helpAsked_) {
    out = ToMultibyte(help_);
    exitCode = 0;
    return true;
  }
  if (error_.empty()) return false;
  exitCode = UsageError(error_, err);
  return true;
}

int Arguments::UsageError(const std::wstring& message, std::string& err) const {
  err += ToMultibyte(L"nubora " + verb_ + L": " + message + L"\n" + help_);
  return kUsageErrorExit;
}

}  // namespace nubora
