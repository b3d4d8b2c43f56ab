#include "support/shown_text.h"

#include <cstdint>

#include "support/hex.h"

namespace kav::tools {
namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

void AppendEscaped(std::string& out, char c) {
  switch (c) {
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (!IsControl(c)) {
    out.push_back(c);
    return;
  }
  const auto byte = static_cast<uint8_t>(c);
  out += "\\x";
  AppendHex(out, &byte, 1);
}

// The first kShownLength bytes, not ending inside a UTF-8 sequence.
std::string_view Cut(std::string_view text) {
  if (text.size() <= kShownLength) return text;
  size_t end = kShownLength;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

std::string ShownText(std::string_view text) {
  std::string out = "\"";
  for (char c : Cut(text)) {
    if (c == '"' || c == '\\') out.push_back('\\');
    AppendEscaped(out, c);
  }
  out += text.size() > kShownLength ? "...\"" : "\"";
  return out;
}

std::string ShownWord(std::string_view text) {
  bool plain = !text.empty() && text.size() <= kShownLength;
  for (char c : text) plain = plain && !IsControl(c) && c != ' ' && c != '"';
  return plain ? std::string(text) : ShownText(text);
}

std::string OneLine(std::string_view message) {
  std::string out;
  out.reserve(message.size());
  for (char c : message) AppendEscaped(out, c);
  return out;
}

}  // namespace kav::tools
