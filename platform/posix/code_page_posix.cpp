// Code pages elsewhere than on Windows: iconv, and the C runtime's locale.
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/code_page.h"

namespace nubora {

unsigned LocaleCodePage() { return std::string(::nl_langinfo(CODESET)) == "UTF-8" ? 65001 : 1252; }

namespace {

struct Converter {
  explicit Converter(unsigned codePage) {
    const std::string name = codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
    handle = ::iconv_open("WCHAR_T", name.c_str());
  }
  ~Converter() {
    if (handle != reinterpret_cast<iconv_t>(-1)) ::iconv_close(handle);
  }
  iconv_t handle;
  unsigned codePage = 0;
};

}  // namespace

bool DecodeCodePage(const std::string& bytes, unsigned codePage, std::wstring& text) {
  // One converter per code page for the whole process: the log is decoded
  // line by line.
  static thread_local std::unique_ptr<Converter> cached;
  if (!cached || cached->codePage != codePage) {
    cached.reset(new Converter(codePage));
    cached->codePage = codePage;
  }
  if (cached->handle == reinterpret_cast<iconv_t>(-1)) return false;
  text.clear();
  std::vector<wchar_t> out(bytes.size() + 1);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outAt = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(wchar_t);
    const std::size_t result = ::iconv(cached->handle, &in, &inLeft, &outAt, &outLeft);
    text.append(out.data(), (out.size() * sizeof(wchar_t) - outLeft) / sizeof(wchar_t));
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // An unmapped byte, or a lead byte cut off at the end: one replacement
    // character for it, and on with the next byte.
    text.push_back(L'\xFFFD');
    ++in;
    --inLeft;
    ::iconv(cached->handle, nullptr, nullptr, nullptr, nullptr);
  }
  return true;
}

void AnsiToWide(const char* text, wchar_t* buffer, std::size_t capacity) {
  if (text == nullptr || buffer == nullptr) return;
  const std::size_t length = std::mbstowcs(nullptr, text, 0);
  if (length == static_cast<std::size_t>(-1) || length + 1 > capacity) return;
  std::mbstowcs(buffer, text, length + 1);
}

}  // namespace nubora
