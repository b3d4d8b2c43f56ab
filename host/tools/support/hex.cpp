#include "support/hex.h"

namespace kav::tools {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHex(std::string& out, const uint8_t* bytes, size_t size, char separator) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out.reserve(out.size() + size * (separator != 0 ? 3 : 2));
  for (size_t i = 0; i < size; ++i) {
    if (separator != 0 && i != 0) out.push_back(separator);
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
}

std::string ByteText(uint8_t value) {
  std::string text = "0x";
  AppendHex(text, &value, 1);
  return text;
}

size_t ParseHex(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const int high = HexDigitValue(text[i]);
    const int low = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
    if (high < 0 || low < 0) return i;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    i += 2;
  }
  return std::string_view::npos;
}

}  // namespace kav::tools
