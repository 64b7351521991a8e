#include <gtest/gtest.h>

#include <string>

#include "base/text_rules.h"

namespace {

class TextRules : public ::testing::Test {
 protected:
  void SetUp() override { SetActiveCodePage(ShiftJisBytes()); }
  void TearDown() override { SetActiveCodePage(ShiftJisBytes()); }  // the default of every other test
};

TEST_F(TextRules, CharTypeAtFollowsLeadByteRuns) {
  // "表" is 0x95 0x5C: a lead byte and a trail byte that looks like "\".
  const char* text = "a\x95\x5C" "b";
  EXPECT_EQ(CharTypeAt(text, 0), 0);
  EXPECT_EQ(CharTypeAt(text, 1), 1);
  EXPECT_EQ(CharTypeAt(text, 2), 2);
  EXPECT_EQ(CharTypeAt(text, 3), 0);
  // Two lead-capable bytes in a row: the second is a trail byte.
  const char* pair = "\x88\x9F";  // "亜"
  EXPECT_EQ(CharTypeAt(pair, 0), 1);
  EXPECT_EQ(CharTypeAt(pair, 1), 2);
  // A lead byte followed by a byte that cannot trail.
  EXPECT_EQ(CharTypeAt("\x88\x20", 1), -1);
  SetActiveCodePage(SingleByteBytes());
  EXPECT_EQ(CharTypeAt(text, 2), 0);
}

TEST_F(TextRules, FindNoCaseMatchesWholeCharactersOnly) {
  const char* path = "c:\\tools\\tapeon.exe";
  EXPECT_EQ(FindNoCase(path, ".EXE"), path + 15);
  EXPECT_EQ(FindNoCase("abc", "ABCD"), nullptr);
  // The trail byte 0x5C of "表" equals the pattern "\" but is no match.
  const char* text = "\x95\x5C" "x";
  EXPECT_EQ(FindNoCase(text, "\\X"), nullptr);
  // Double-byte characters are compared exactly, not upper-cased.
  EXPECT_NE(FindNoCase("\x82\xA0z", "\x82\xA0Z"), nullptr);
  const char* repeat = "aab";
  EXPECT_EQ(FindNoCase(repeat, "AB"), repeat + 1);
}

TEST_F(TextRules, SplitPathEverySeparatorAndDoubleByteNames) {
  char directory[260], name[260];
  SplitPath("C:\\dir\\a.wav", directory, name);
  EXPECT_STREQ(directory, "C:\\dir\\");
  EXPECT_STREQ(name, "a.wav");
  SplitPath("dir/b.wav", directory, name);
  EXPECT_STREQ(directory, "dir/");
  SplitPath("C:c.wav", directory, name);
  EXPECT_STREQ(directory, "C:");
  EXPECT_STREQ(name, "c.wav");
  SplitPath("plain.wav", directory, name);
  EXPECT_STREQ(directory, "");
  EXPECT_STREQ(name, "plain.wav");
  SplitPath("", directory, name);
  EXPECT_STREQ(directory, "");
  EXPECT_STREQ(name, "");
  // "表.wav" inside a directory: its trail byte is not a separator.
  SplitPath("C:\\d\\\x95\x5C.wav", directory, name);
  EXPECT_STREQ(directory, "C:\\d\\");
  EXPECT_STREQ(name, "\x95\x5C.wav");
  // Outputs are cut to their sizes.
  char small[4];
  SplitPath("C:\\long\\name.wav", small, name, sizeof small);
  EXPECT_STREQ(small, "C:\\");
}

TEST_F(TextRules, NameRulesDevicesLengthsAndUnicodeNames) {
  for (const char* device :
       {"NUL", "nul.wav", "NUL.WAV", "C:\\rec\\Con.Txt", "d:/x/aux", "PRN .wav", "COM1", "com9.mp3", "LPT1:",
        "lpt9.wav", "C:NUL", "conout$", "CONIN$.wav", "NUL.tar.gz", "\\\\.\\COM1", "//./pipe/x", "\\\\.\\C:\\a.wav",
        "\\\\?\\COM1", "\\\\?\\pipe\\x", "\\??\\CON", "\\\\?\\GLOBALROOT\\Device\\Null", "\\\\?\\C:",
        // Only "\??\" and "\\?\" exactly are passed on unread: with a forward
        // slash "??" is an ordinary folder and the last part is read. (Split
        // where "??/" would be a trigraph.)
        "/?" "?/C:/COM1", "\\?" "?/C:\\NUL.wav", "/??\\C:\\CON", "//?/COM1", "\\\\?/pipe/x", "\\\\.", "//?"}) {
    EXPECT_TRUE(IsDeviceName(device)) << device;
  }
  for (const char* file : {"", "a.wav", "NULL.wav", "CONSOLE", "COM10", "COM", "LPT", "xNUL", "C:\\NUL\\a.wav",
                           "C:\\music\\con2.wav", "\\\\server\\share\\nul_take.wav", "COMA", "com0.wav", "lpt0.wav",
                           "clock$.wav", "\\\\?\\C:\\dir\\a.wav", "\\??\\C:\\a.wav", "\\\\?\\unc\\server\\share\\a.wav",
                           "\\\\?\\Volume{0b1e}\\a.wav", "\\\\?\\C:\\dir\\NUL.wav", "//?/C:/dir/NUL.wav",
                           // A share: the system reads no device name there.
                           "\\\\server\\share\\NUL.wav", "//server/share/com1", "\\\\.host\\s\\CON",
                           // Superscript digits in a code page: names only, to Windows 95/98/Me.
                           "COM\xB9.wav", "LPT\xB2"}) {
    EXPECT_FALSE(IsDeviceName(file)) << file;
  }
  // A Shift-JIS name whose trail byte looks like "\" is not split there: the
  // last part is the whole name, not "NUL".
  EXPECT_FALSE(IsDeviceName("\x95\x5CNUL.wav"));
  EXPECT_TRUE(IsDeviceName("\x95\x5C\\NUL.wav"));

  // In an ANSI code page the system counts bytes.
  EXPECT_TRUE(FitsNameLength(std::string(259, 'a').c_str()));
  EXPECT_FALSE(FitsNameLength(std::string(260, 'a').c_str()));
  EXPECT_EQ(NameLength("\x89\xB9\x8A\x79.wav"), 8u);  // "音楽.wav" in Shift-JIS

  // UTF-8 names: the system counts UTF-16 units, so 259 Korean syllables (777
  // bytes) fit and a character beyond the first 65536 counts twice.
  SetActiveCodePage(Utf8Bytes());
  std::string korean;
  for (int k = 0; k < 259; ++k) korean += "\xED\x95\x9C";  // "한"
  EXPECT_EQ(korean.size() + 1, NAME_BUFFER_SIZE);
  EXPECT_EQ(NameLength(korean.c_str()), 259u);
  EXPECT_TRUE(FitsNameLength(korean.c_str()));
  EXPECT_FALSE(FitsNameLength((korean + "a").c_str()));
  EXPECT_EQ(NameLength("\xF0\x9F\x8E\xB5.wav"), 6u);  // U+1F3B5 and ".wav"
  // No byte of a UTF-8 character is a separator, whatever its value: "あ" ends
  // in 0x82, a Shift-JIS lead byte.
  char directory[NAME_BUFFER_SIZE], name[NAME_BUFFER_SIZE];
  SplitPath("C:\\\xE3\x81\x82\\NUL.wav", directory, name, sizeof directory, sizeof name);
  EXPECT_STREQ(directory, "C:\\\xE3\x81\x82\\");
  EXPECT_STREQ(name, "NUL.wav");
  EXPECT_TRUE(IsDeviceName("C:\\\xE3\x81\x82\\NUL.wav"));
  EXPECT_FALSE(IsDeviceName("C:\\\xCE\x95\xCE\xBB.wav"));  // "Ελ.wav"
  // Windows NT counts the superscripts one to three as digits: COM¹, LPT³.
  EXPECT_TRUE(IsDeviceName("C:\\d\\COM\xC2\xB9"));
  EXPECT_TRUE(IsDeviceName("lpt\xC2\xB3.wav"));
  EXPECT_TRUE(IsDeviceName("/?" "?/C:/LPT\xC2\xB2"));
  EXPECT_FALSE(IsDeviceName("COM\xC2\xB4.wav"));  // an acute accent
  EXPECT_FALSE(IsDeviceName("COM\xC2\xB9\xC2\xB9"));
}

// Every UTF-16 name the system can hand over comes back unchanged, surrogates
// without their partners included, and well-formed text is plain UTF-8.
TEST_F(TextRules, NamesKeepEveryUtf16UnitThroughWtf8) {
  const std::u16string names[] = {u"a.wav", u"\uD55C\uAD6D\uC5B4.wav", u"\U0001F3B5.wav",
                                  std::u16string(u"a\xD800.wav"), std::u16string(u"\xDC00"),
                                  std::u16string(u"x\xDBFF"), std::u16string(u"\xDC00\xD800"),  // reversed pair
                                  std::u16string(u"\xD800\xD800\xDC00")};
  for (const std::u16string& name : names) EXPECT_EQ(Utf16FromWtf8(Wtf8FromUtf16(name)), name);
  EXPECT_EQ(Wtf8FromUtf16(u"\uD55C\U0001F3B5"), "\xED\x95\x9C\xF0\x9F\x8E\xB5");
  EXPECT_EQ(Wtf8FromUtf16(std::u16string(u"\xD800.")), "\xED\xA0\x80.");
  SetActiveCodePage(Utf8Bytes());
  EXPECT_EQ(NameLength(Wtf8FromUtf16(std::u16string(u"a\xDFFF")).c_str()), 2u);
  // What is not WTF-8 (cut, overlong, past U+10FFFF, a stray continuation
  // byte) becomes U+FFFD, never a character it does not say.
  EXPECT_EQ(Utf16FromWtf8("\xE3\x81"), u"\xFFFD\xFFFD");
  EXPECT_EQ(Utf16FromWtf8("\xC0\xAF/"), u"\xFFFD\xFFFD/");
  EXPECT_EQ(Utf16FromWtf8("\xE0\x80\xAF"), u"\xFFFD\xFFFD\xFFFD");
  EXPECT_EQ(Utf16FromWtf8("\xF4\x90\x80\x80"), u"\xFFFD\xFFFD\xFFFD\xFFFD");
  EXPECT_EQ(Utf16FromWtf8("\x80" "a"), u"\xFFFD" u"a");
}

TEST_F(TextRules, PadTextFillsToSizeMinusOne) {
  char text[8] = "ab";
  EXPECT_TRUE(PadText(text, sizeof text));
  EXPECT_STREQ(text, "ab     ");
  char full[8] = "1234567";
  EXPECT_TRUE(PadText(full, sizeof full));
  EXPECT_STREQ(full, "1234567");
  char over[8] = {'1', '2', '3', '4', '5', '6', '7', '8'};
  EXPECT_FALSE(PadText(over, sizeof over));
  EXPECT_STREQ(over, "1234567");
  EXPECT_TRUE(PadText(nullptr, 5));
}

TEST_F(TextRules, HelpPathRule) {
  EXPECT_EQ(HelpFilePath("C:\\TOOLS\\TAPEON.EXE", 0x400), "C:\\TOOLS\\TAPEON.HLP");
  EXPECT_EQ(HelpFilePath("c:\\tools\\tapeon.exe", 0x400), "c:\\tools\\tapeon.HLP");
  EXPECT_EQ(HelpFilePath("C:\\A.EXE.D\\TAPEON.EXE", 0x601), "C:\\A.HLP");
  EXPECT_EQ(HelpFilePath("C:\\TOOLS\\TAPEON", 0x601), "TAPEON.HLP");
  EXPECT_EQ(HelpFilePath("C:\\TOOLS\\TAPEON.EXE", 0x35F), "TAPEON.hlp");
}

TEST_F(TextRules, TitleAndBrightness) {
  EXPECT_EQ(WindowTitle("", 0x601), "TAPEON");
  EXPECT_EQ(WindowTitle("a.wav", 0x35F), "a.wav - TAPEON");
  EXPECT_EQ(WindowTitle("a.wav", 0x35E), "TAPEON - a.wav");
  EXPECT_EQ(Brightness(255, 255, 255), 255);
  EXPECT_FALSE(IsDarkBackground(0x000000, 0xFFFFFF));  // black on white
  EXPECT_TRUE(IsDarkBackground(0xFFFFFF, 0x000000));   // white on black
  EXPECT_TRUE(IsDarkBackground(0x808080, 0x808080));   // equal counts as dark
}

}  // namespace
