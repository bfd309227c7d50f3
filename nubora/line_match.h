#pragma once

#include <string>

namespace nubora {

// How one stage of the run's parser took a line: refused it, took it, took it
// as its last, or ended without looking at it, which then goes to the next
// stage.
enum class Taken { kRefused, kTaken, kTakenLast, kPassedOn };

// True when `line` begins with `prefix`; `value` then holds the rest.
bool StartsWith(const std::wstring& line, const wchar_t* prefix, std::wstring* value = nullptr);

}  // namespace nubora
