// UTF-8 and the platform's UTF-16 wide strings, converted without the
// locale, so paths and texts read the same on both builds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace kav {

using WideString = std::basic_string<WCHAR>;

// Appends code point `code` (at most U+10FFFF) to `out` in UTF-8.
inline void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The length of the well-formed UTF-8 sequence that starts `text`, its code
// point stored in `code`; 0 when `text` starts with none: an empty text, a
// stray continuation byte, a sequence cut short, an overlong form, a
// surrogate or a value above U+10FFFF. Every reader of UTF-8 in the tree asks
// this one function, so a text one of them takes the others take too.
inline size_t DecodeUtf8(std::string_view text, char32_t& code) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  size_t length = 0;
  char32_t least = 0;  // below it the same value has a shorter form
  char32_t value = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, least = 0x80, value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, least = 0x800, value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, least = 0x10000, value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  code = value;
  return length;
}

inline bool IsValidUtf8(std::string_view text) {
  char32_t code = 0;
  for (size_t length = 0; !text.empty(); text.remove_prefix(length)) {
    length = DecodeUtf8(text, code);
    if (length == 0) return false;
  }
  return true;
}

// Each byte that starts no well-formed sequence becomes one U+FFFD.
inline WideString ToWide(std::string_view utf8) {
  WideString out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t code = 0xFFFD;
    const size_t length = DecodeUtf8(utf8, code);
    utf8.remove_prefix(length == 0 ? 1 : length);
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<WCHAR>(0xD800 + (code >> 10)));
      out.push_back(static_cast<WCHAR>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<WCHAR>(code));
    }
  }
  return out;
}

// A surrogate without its partner becomes U+FFFD, so the text written is
// always valid UTF-8.
inline std::string ToUtf8(std::basic_string_view<WCHAR> wide) {
  std::string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t code = static_cast<char16_t>(wide[i]);
    const char32_t low = i + 1 < wide.size() ? static_cast<char16_t>(wide[i + 1]) : 0;
    if (code >= 0xD800 && code <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    AppendUtf8(out, code);
  }
  return out;
}

}  // namespace kav
