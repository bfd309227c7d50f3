// Text conversions: Unicode forms, paths and code pages; system errors in words.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "platform/code_page.h"
#include "platform/system_errors.h"

namespace nubora {
namespace {

std::string Utf16(const std::u16string& units, bool bigEndian) {
  std::string bytes;
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

TEST(Text, UnicodeFormsConvertBothWaysWithReplacementsForWhatIsMalformed) {
  const struct {
    std::wstring wide;
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {L"caf\u00e9 \u20ac", "caf\xc3\xa9 \xe2\x82\xac", u"caf\u00e9 \u20ac"},
      {L"\u0080\u07ff\u0800\uffff", "\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf",
       u"\u0080\u07ff\u0800\uffff"},
      {L"\U00010000\U0010FFFF", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", u"\U00010000\U0010FFFF"},
      {L"\U0001F600", "\xf0\x9f\x98\x80", u"\U0001F600"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8(c.wide), c.utf8);
    EXPECT_EQ(FromUtf8("\xef\xbb\xbf" + c.utf8, 3), c.wide);
    EXPECT_EQ(FromUtf16("xx" + Utf16(c.utf16, false), 2, false), c.wide);
    EXPECT_EQ(FromUtf16(Utf16(c.utf16, true), 0, true), c.wide);
  }
  // Lone surrogates, one per unit; a pair in wide text is joined everywhere.
  EXPECT_EQ(Utf8(std::wstring{L'\xDFFF', L'\xD800', L'x'}), "\xef\xbf\xbd\xef\xbf\xbdx");
  EXPECT_EQ(Utf8(std::wstring{L'\xD83D', L'\xDE00'}), "\xf0\x9f\x98\x80");
  // Bad lead, overlong form, cut sequence: one U+FFFD per offending byte.
  EXPECT_EQ(FromUtf8("\xff\xc0\xaf"
                     "a\xe2\x82"),
            L"\xFFFD\xFFFD\xFFFD"
            L"a\xFFFD");
  EXPECT_EQ(FromUtf16(std::string("a\0b", 3), 0, false), L"a");  // an odd byte is left
}

#ifndef _WIN32
TEST(Text, WindowsPathsMapOntoTheWorkingDirectory) {
  const struct {
    const wchar_t* path;
    const char* native;
  } cases[] = {
      {L"c:\\windows\\x.ini", "c/windows/x.ini"},
      {L"C:\\Provisioning\\Site.INI", "c/Provisioning/Site.INI"},
      {L"D:/mixed\\separators.ini", "d/mixed/separators.ini"},
      {L"e:relative.ini", "e/relative.ini"},
      {L"C:", "c"},
      {L"/absolute/caf\u00e9.ini", "/absolute/caf\xc3\xa9.ini"},
      {L"1:\\not\\a\\drive", "1:/not/a/drive"},
      {L"", ""},
      {nullptr, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NativePath(c.path), c.native) << c.native;
}
#endif

TEST(Text, CodePagesDecodeAndTheLocaleEncodes) {
  std::wstring text;
  ASSERT_TRUE(DecodeCodePage("\xd6\xd0\xce\xc4 ok", 936, text));
  EXPECT_EQ(text, L"\u4e2d\u6587 ok");
  ASSERT_TRUE(DecodeCodePage("\x80 \xe9", 1252, text));
  EXPECT_EQ(text, L"\u20ac \u00e9");
  EXPECT_FALSE(DecodeCodePage("x", 4242, text));
  EXPECT_FALSE(DecodeCodePage("", 4242, text));

  // The C locale has no euro sign: it becomes '?', the rest gets through.
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(ToMultibyte(L"a\u20acb"), "a?b");

  wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
  AnsiToWide("abcd", buffer, 4);  // with its NUL it does not fit
  EXPECT_EQ(std::wstring(buffer, 4), L"xxxx");
  AnsiToWide("abc", buffer, 4);
  EXPECT_STREQ(buffer, L"abc");
}

// A system error in the tool's words: its number, then its meaning where the
// tool knows one.
TEST(Text, SystemErrorsInTheToolsWords) {
  EXPECT_EQ(ErrorText(740), L"error 740: needs elevation");
  EXPECT_EQ(ErrorText(4242), L"error 4242");
}

}  // namespace
}  // namespace nubora
