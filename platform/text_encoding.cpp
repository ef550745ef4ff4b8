#include "platform/text_encoding.h"

#include <algorithm>

namespace platform {
namespace {

// Windows-1252 bytes 0x80..0x9F. The undefined bytes keep their own value as C1
// control characters (as the Windows conversion functions do), so no byte is lost.
constexpr char32_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char32_t Cp1252ToCodePoint(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) return kHighTable[b - 0x80];
  return b;
}

// -1 when Windows-1252 has no byte for the character.
int CodePointToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHighTable[i] == cp) return 0x80 + i;
  }
  return -1;
}

// How many bytes from pos on are ASCII.
size_t AsciiRun(std::string_view text, size_t pos) {
  size_t end = pos;
  while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
  return end - pos;
}

}  // namespace

size_t DecodeUtf8Char(std::string_view text, size_t pos, char32_t* code_point) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b0 = byte(pos);
  *code_point = kInvalidChar;
  if (b0 < 0x80) {
    *code_point = b0;
    return 1;
  }
  size_t len;
  char32_t cp;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 1;
  }
  if (text.size() - pos < len) return 1;
  for (size_t i = 1; i < len; ++i) {
    const unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) return 1;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 1;
  *code_point = cp;
  return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (size_t pos = 0; pos < bytes.size();) {
    // Runs of ASCII are the same in both: copied whole.
    const size_t ascii = AsciiRun(bytes, pos);
    out.append(bytes.substr(pos, ascii));
    pos += ascii;
    if (pos == bytes.size()) break;
    AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(bytes[pos++])));
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    const size_t ascii = AsciiRun(utf8, pos);
    out.append(utf8.substr(pos, ascii));
    pos += ascii;
    if (pos == utf8.size()) break;
    char32_t cp;
    pos += DecodeUtf8Char(utf8, pos, &cp);
    const int b = cp == kInvalidChar ? -1 : CodePointToCp1252(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::string QuotedExcerpt(std::string_view text, size_t max_chars) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  size_t chars = 0;
  size_t pos = 0;
  for (; pos < text.size() && chars < max_chars; ++chars) {
    char32_t cp;
    const size_t len = DecodeUtf8Char(text, pos, &cp);
    const bool control = cp == kInvalidChar || cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
    if (control) {
      const unsigned b = cp == kInvalidChar || cp > 0xFF ? static_cast<unsigned char>(text[pos])
                                                         : static_cast<unsigned>(cp);
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    } else {
      out.append(text.substr(pos, len));
    }
    pos += len;
  }
  if (pos < text.size()) out += "\xE2\x80\xA6";
  return out;
}

std::vector<std::string> CharsOutsideCp1252(std::string_view utf8) {
  std::vector<std::string> found;
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t cp;
    const size_t len = DecodeUtf8Char(utf8, pos, &cp);
    if (cp == kInvalidChar || CodePointToCp1252(cp) < 0) {
      std::string c(utf8.substr(pos, len));
      if (std::find(found.begin(), found.end(), c) == found.end()) found.push_back(std::move(c));
    }
    pos += len;
  }
  return found;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    pos += AsciiRun(text, pos);
    if (pos == text.size()) break;
    char32_t cp;
    pos += DecodeUtf8Char(text, pos, &cp);
    if (cp == kInvalidChar) return false;
  }
  return true;
}

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (size_t pos = 0; pos < text.size(); ++n) {
    char32_t cp;
    pos += DecodeUtf8Char(text, pos, &cp);
  }
  return n;
}

std::string PadRightChars(std::string_view text, size_t width) {
  std::string out(text);
  const size_t len = Utf8Length(text);
  if (len < width) out.append(width - len, ' ');
  return out;
}

std::string PadLeftChars(std::string_view text, size_t width) {
  const size_t len = Utf8Length(text);
  std::string out(len < width ? width - len : 0, ' ');
  out += text;
  return out;
}

std::string DecodeTextFile(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Cp1252ToUtf8(bytes);
}

std::string ZeroPad(int value, size_t width) {
  std::string s = std::to_string(value);
  return s.size() < width ? std::string(width - s.size(), '0') + s : s;
}

std::string LeftChars(std::string_view text, size_t n) {
  size_t pos = 0;
  for (size_t chars = 0; pos < text.size() && chars < n; ++chars) {
    char32_t cp;
    pos += DecodeUtf8Char(text, pos, &cp);
  }
  return std::string(text.substr(0, pos));
}

}  // namespace platform
