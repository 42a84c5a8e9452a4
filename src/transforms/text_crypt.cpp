// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/text_crypt.h"

#include <cstdint>
#include <span>

#include "crypto/base64.h"
#include "crypto/blowfish.h"
#include "crypto/burn.h"

namespace voltare::transforms {

namespace {

std::span<std::uint8_t> BytesOf(std::string& text) {
  return std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
}

// A Base64 line may arrive with line breaks around it (from a mail body or a
// clipboard, CR LF or a lone LF); drops them. Nothing when too little is left
// to hold a line. Only line-break characters go: a lone LF after the last
// Base64 character must not take that character with it.
bool StripLineBreaks(std::string& text) {
  const auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
  while (!text.empty() && isBreak(text.back())) text.pop_back();
  std::size_t first = 0;
  while (first < text.size() && isBreak(text[first])) ++first;
  text.erase(0, first);
  return text.size() >= 2;
}

// The program never writes blanks or line breaks into the Base64 line, but a
// mail relay may fold it and a mail program may wrap it when it is copied.
void DropBlanksAndLineBreaks(std::string& text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; });
}

}  // namespace

std::string BlowfishEncryptString(std::string_view text, std::string_view password) {
  std::string bytes(text);
  try {
    if (bytes.empty()) return {};
    crypto::TBlowfishCipher cipher;
    cipher.InitStr(password);
    cipher.EncryptCFB(BytesOf(bytes), BytesOf(bytes));
    cipher.Reset();
    cipher.Burn();
    std::string encoded = crypto::B64Encode(bytes);
    crypto::Burn(bytes);
    return encoded;
  } catch (...) {
    crypto::Burn(bytes);
    return {};
  }
}

std::string BlowfishDecryptString(std::string_view text, std::string_view password) {
  std::string copy(text);
  std::string bytes;
  try {
    if (!StripLineBreaks(copy)) return {};
    DropBlanksAndLineBreaks(copy);
    crypto::TBlowfishCipher cipher;
    cipher.InitStr(password);
    bytes = crypto::B64Decode(copy);
    if (bytes.empty()) return {};
    cipher.DecryptCFB(BytesOf(bytes), BytesOf(bytes));
    cipher.Reset();
    cipher.Burn();
    return bytes;
  } catch (...) {
    crypto::Burn(bytes);
    return {};
  }
}

}  // namespace voltare::transforms
