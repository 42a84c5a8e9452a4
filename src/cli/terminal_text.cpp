// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace voltare::cli {

namespace {

void AppendHexEscape(std::string& out, std::uint8_t byte) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
  out += escape;
}

// The length of the well-formed UTF-8 sequence at the start of `text` that
// encodes a printable character, or 0 (an ill-formed byte or a C1 control).
std::size_t PrintableSequenceLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  // U+0080 to U+009F are the C1 controls, which some terminals obey.
  if (lead == 0xC2 && byte(1) <= 0x9F) return 0;
  return length;
}

}  // namespace

std::string EscapeControls(std::string_view text, bool keepLineBreaks) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (byte >= 0x80) {
      if (const std::size_t length = PrintableSequenceLength(text.substr(i)); length > 0) {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
      AppendHexEscape(out, byte);
    } else if (keepLineBreaks && byte == '\r' && text.substr(i + 1, 1) == "\n") {
      // The program's own texts end lines in CR LF; a terminal wants LF alone.
    } else if (keepLineBreaks && byte == '\n') {
      out += '\n';
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendHexEscape(out, byte);
    } else {
      out += static_cast<char>(byte);
    }
    ++i;
  }
  return out;
}

}  // namespace voltare::cli
