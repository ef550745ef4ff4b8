// Text conversion between the program's UTF-8 strings and the Windows-1252 bytes of
// the device wire and of the specified file formats, and character-counting padding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Windows-1252 bytes to UTF-8. Every byte has a character: the five bytes that
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control
// characters U+0081 etc., so Utf8ToCp1252(Cp1252ToUtf8(b)) == b for any bytes b.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252 bytes. A character that Windows-1252 cannot hold, and each
// byte of an invalid UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1252(std::string_view utf8);

// A value of a file as a message quotes it: at most max_chars characters, then
// "…" when there is more; control characters (and the bytes of an invalid
// sequence) shown as "\xNN", so that none cuts off or breaks the message.
std::string QuotedExcerpt(std::string_view text, size_t max_chars = 40);

// The characters of a UTF-8 text that Windows-1252 cannot hold (each byte of an
// invalid sequence is one), each once, in the order they first appear.
std::vector<std::string> CharsOutsideCp1252(std::string_view utf8);

// Decodes the character that starts at byte `pos` (pos < text.size()) and returns
// its length in bytes. An invalid or truncated sequence gives length 1 and
// *code_point = kInvalidChar.
constexpr char32_t kInvalidChar = 0xFFFFFFFF;
size_t DecodeUtf8Char(std::string_view text, size_t pos, char32_t* code_point);
// Appends the UTF-8 form of a code point (U+0000..U+10FFFF, no surrogates).
void AppendUtf8(std::string& out, char32_t code_point);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Number of characters; each byte of an invalid sequence counts as one.
size_t Utf8Length(std::string_view text);

// Pads with blanks to `width` characters (not bytes); longer text is never cut.
std::string PadRightChars(std::string_view text, size_t width);
std::string PadLeftChars(std::string_view text, size_t width);
// The first n characters (not bytes) of text.
std::string LeftChars(std::string_view text, size_t n);

// A non-negative number in decimal with leading zeros to at least `width` digits
// (file names and date texts: "2024-03-05", "05.03.2024").
std::string ZeroPad(int value, size_t width);

// The text of a file as UTF-8: a UTF-8 byte-order mark is dropped; valid UTF-8 is
// taken as it is, anything else is read as Windows-1252 (which cannot fail).
std::string DecodeTextFile(std::string_view bytes);

}  // namespace platform
