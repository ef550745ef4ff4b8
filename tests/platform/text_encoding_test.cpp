#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

std::string Byte(int b) {
  return std::string(1, static_cast<char>(b));
}

// The 32 bytes 0x80..0x9F with the UTF-8 form of their characters.
struct HighByte {
  int byte;
  const char* utf8;
};
constexpr HighByte kHighBytes[32] = {
    {0x80, "\u20AC"}, {0x81, "\u0081"}, {0x82, "\u201A"}, {0x83, "\u0192"}, {0x84, "\u201E"},
    {0x85, "\u2026"}, {0x86, "\u2020"}, {0x87, "\u2021"}, {0x88, "\u02C6"}, {0x89, "\u2030"},
    {0x8A, "\u0160"}, {0x8B, "\u2039"}, {0x8C, "\u0152"}, {0x8D, "\u008D"}, {0x8E, "\u017D"},
    {0x8F, "\u008F"}, {0x90, "\u0090"}, {0x91, "\u2018"}, {0x92, "\u2019"}, {0x93, "\u201C"},
    {0x94, "\u201D"}, {0x95, "\u2022"}, {0x96, "\u2013"}, {0x97, "\u2014"}, {0x98, "\u02DC"},
    {0x99, "\u2122"}, {0x9A, "\u0161"}, {0x9B, "\u203A"}, {0x9C, "\u0153"}, {0x9D, "\u009D"},
    {0x9E, "\u017E"}, {0x9F, "\u0178"},
};

TEST(TextEncoding, HighBytesBothWays) {
  for (const HighByte& h : kHighBytes) {
    SCOPED_TRACE(h.byte);
    EXPECT_EQ(Cp1252ToUtf8(Byte(h.byte)), h.utf8);
    EXPECT_EQ(Utf8ToCp1252(h.utf8), Byte(h.byte));
  }
}

TEST(TextEncoding, AsciiAndLatin1Unchanged) {
  EXPECT_EQ(Cp1252ToUtf8("Baudrate=3\r\n"), "Baudrate=3\r\n");
  EXPECT_EQ(Cp1252ToUtf8("Anschlu\xDF"), "Anschluß");
  EXPECT_EQ(Cp1252ToUtf8("\xB0"
                         "C m\xB3 \xC4\xD6\xDC\xE4\xF6\xFC\xA0\xFF"),
            "°C m³ ÄÖÜäöü\u00A0ÿ");
  EXPECT_EQ(Utf8ToCp1252("°C m³ ÄÖÜäöü\u00A0ÿ"),
            "\xB0"
            "C m\xB3 \xC4\xD6\xDC\xE4\xF6\xFC\xA0\xFF");
  EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextEncoding, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Utf8Length(utf8), 256u);
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(TextEncoding, CharactersOutside1252BecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("\u03A9"), "?");          // Greek Omega
  EXPECT_EQ(Utf8ToCp1252("a\U0001F600b"), "a?b");  // emoji: one character, one "?"
  EXPECT_EQ(Utf8ToCp1252("\u0080"), "?");          // 0x80 is the euro sign in 1252
  EXPECT_EQ(Utf8ToCp1252("\u0100"), "?");
  EXPECT_EQ(Utf8ToCp1252("\u20AC5"),
            "\x80"
            "5");
}

TEST(TextEncoding, InvalidUtf8BytesBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\xFF"
                         "b"),
            "a?b");
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");            // truncated
  EXPECT_EQ(Utf8ToCp1252("\xC0\x80"), "??");       // overlong NUL
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");  // surrogate
}

TEST(TextEncoding, IsValidUtf8) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("Anschluß m³ \u20AC \U0010FFFF"));
  EXPECT_FALSE(IsValidUtf8("Anschlu\xDF"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xBF\xBF"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));  // truncated euro sign
  EXPECT_FALSE(IsValidUtf8("\x80"));      // lone continuation byte
}

TEST(TextEncoding, Utf8Length) {
  EXPECT_EQ(Utf8Length(""), 0u);
  EXPECT_EQ(Utf8Length("abc"), 3u);
  EXPECT_EQ(Utf8Length("m³"), 2u);
  EXPECT_EQ(Utf8Length("\u20AC\U0001F600"), 2u);
  EXPECT_EQ(Utf8Length("a\xFF\xFE"), 3u);  // each invalid byte counts once
}

TEST(TextEncoding, PaddingCountsCharacters) {
  EXPECT_EQ(PadRightChars("m³", 5), "m³   ");
  EXPECT_EQ(PadLeftChars("m³", 5), "   m³");
  EXPECT_EQ(PadRightChars("Temperatur", 4), "Temperatur");  // never cut
  EXPECT_EQ(PadLeftChars("Temperatur", 4), "Temperatur");
  EXPECT_EQ(PadRightChars("", 3), "   ");
  EXPECT_EQ(PadRightChars("Übertemperatur", 14), "Übertemperatur");
  EXPECT_EQ(Utf8Length(PadRightChars("Druck (°C)", 20)), 20u);
  // Cutting counts characters too: never half a character.
  EXPECT_EQ(LeftChars("Paßwort", 3), "Paß");
  EXPECT_EQ(LeftChars("°C", 1), "°");
  EXPECT_EQ(LeftChars("ab", 5), "ab");
}

TEST(TextEncoding, DecodeTextFile) {
  EXPECT_EQ(DecodeTextFile(""), "");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF"), "");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF"
                           "Anschlu\xC3\x9F=1"),
            "Anschluß=1");
  EXPECT_EQ(DecodeTextFile("Anschlu\xC3\x9F=1"), "Anschluß=1");
  EXPECT_EQ(DecodeTextFile("Anschlu\xDF=1"), "Anschluß=1");
  EXPECT_EQ(DecodeTextFile("\x80 und \xE2\x82\xAC"), "\u20AC und \u00E2\u201A\u00AC");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF"
                           "\xB0"),
            "°");  // mark, but not UTF-8 after it
}

}  // namespace
}  // namespace platform
