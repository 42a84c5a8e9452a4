// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/quoted_printable.h"

namespace voltare::net {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool AtLineEnd(std::string_view text, std::size_t at) {
  return at == text.size() || text.substr(at).starts_with(kLineBreak);
}

std::string Encoded(unsigned char byte) { return {'=', kHexDigits[byte >> 4], kHexDigits[byte & 15]}; }

// The byte at `at` as it may stand in an encoded line: literal when it is
// printable (or a blank that some printable character follows), else "=XX".
std::string Token(std::string_view text, std::size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  const bool blank = byte == ' ' || byte == '\t';
  const bool printable = byte >= 33 && byte <= 126 && byte != '=';
  if (printable || (blank && !AtLineEnd(text, at + 1))) return std::string(1, static_cast<char>(byte));
  return Encoded(byte);
}

}  // namespace

std::string EncodeQuotedPrintable(std::string_view text) {
  std::string out;
  std::size_t lineLength = 0;
  for (std::size_t at = 0; at < text.size();) {
    if (text.substr(at).starts_with(kLineBreak)) {
      out += kLineBreak;
      lineLength = 0;
      at += kLineBreak.size();
      continue;
    }
    std::string token = Token(text, at);
    // Room is always left for the "=" of a soft line break.
    if (lineLength + token.size() > kMaxQuotedPrintableLine - 1) {
      out += "=";
      out += kLineBreak;
      lineLength = 0;
    }
    if (lineLength == 0 && token == ".") token = Encoded('.');
    out += token;
    lineLength += token.size();
    ++at;
  }
  out += kLineBreak;
  return out;
}

}  // namespace voltare::net
