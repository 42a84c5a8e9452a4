// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/text_crypt.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "crypto/base64.h"
#include "crypto/blowfish.h"
#include "crypto/burn.h"
#include "crypto/bytestream.h"
#include "transforms/messages.h"
#include "transforms/result.h"
#include "transforms/sealed_expand.h"
#include "transforms/vlt_format.h"
#include "transforms/zlib_streams.h"  // EDecompressionError
#include "transforms/zstd_streams.h"

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

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// The decoded line, read in place as a sealed file.
class DecodedSource final : public crypto::ByteSource {
 public:
  explicit DecodedSource(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

  std::uint64_t Remaining() override { return bytes_.size(); }
  void ReadExactly(std::span<std::uint8_t> buffer) override {
    // The opener asks only for what Remaining() promised; more is a damaged line.
    if (buffer.size() > bytes_.size()) throw EDecompressionError(std::string(messages::kZlibError));
    std::copy_n(bytes_.begin(), buffer.size(), buffer.begin());
    bytes_ = bytes_.subspan(buffer.size());
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// The sealed bytes of a text: not secret, they are what the line shows.
class AppendingSink final : public crypto::ByteSink {
 public:
  explicit AppendingSink(std::string& bytes) noexcept : bytes_(bytes) {}
  void Write(std::span<const std::uint8_t> bytes) override {
    bytes_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

 private:
  std::string& bytes_;
};

// The opened text, into locked memory, and no longer than the program ever
// seals: whoever knows the password could otherwise send a few bytes that
// expand until the memory runs out.
class BoundedTextSink final : public crypto::ByteSink {
 public:
  BoundedTextSink(common::SecretString& text, std::size_t mostBytes) noexcept : text_(text), most_(mostBytes) {}
  void Write(std::span<const std::uint8_t> bytes) override {
    if (bytes.size() > most_ - text_.size()) throw EDecompressionError(std::string(messages::kZlibError));
    text_.append({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  }

 private:
  common::SecretString& text_;
  std::size_t most_;
};

// Base64 characters enough for the magic and the algorithm code: 15 bytes.
constexpr std::size_t kSealedPrefixCharacters = 20;
static_assert(kSealedPrefixCharacters / 4 * 3 >= kMagicSize + 1);

bool StartsAsSealed(std::string_view line) {
  if (line.size() < kSealedPrefixCharacters) return false;
  const std::string prefix = crypto::B64Decode(line.substr(0, kSealedPrefixCharacters));
  return prefix.starts_with(kVltMagic) && static_cast<std::uint8_t>(prefix[kMagicSize]) == kAlgorithmXChaCha20;
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

bool IsSealedText(std::string_view text) {
  try {
    std::string line(text);
    DropBlanksAndLineBreaks(line);
    return StartsAsSealed(line);
  } catch (...) {
    return false;
  }
}

std::string SealText(std::string_view text, const SealedKey& key) {
  if (text.empty()) return {};
  std::string sealed;
  AppendingSink to(sealed);
  SealingSink sealing(key, to, kSealedZstdVersion);
  ZstdCompressBytes(BytesOf(text), sealing);
  sealing.Finish();
  return crypto::B64Encode(sealed);
}

[[nodiscard]] platform::ResultCode OpenSealedText(std::string_view text, const SealedKeyLookup& keyFor,
                                                  std::size_t mostBytes, common::SecretString& plain,
                                                  platform::Progress& progress) {
  plain.clear();
  try {
    std::string line(text);
    DropBlanksAndLineBreaks(line);
    if (!StartsAsSealed(line)) return platform::ErrBadFile;
    // A line cut off or lengthened by a few characters no longer decodes.
    if (line.size() % 4 != 0) return platform::ErrTampered;
    const std::string bytes = crypto::B64Decode(line);
    DecodedSource from(BytesOf(bytes));
    if (ReadAlgorithmCode(from) != kAlgorithmXChaCha20) return platform::ErrBadFile;
    BoundedTextSink to(plain, mostBytes);
    const platform::ResultCode opened = OpenAndExpandSealed(from, to, keyFor, bytes.size(), progress);
    if (opened != platform::Success) plain.clear();
    return opened;
  } catch (...) {
    plain.clear();
    return ResultOfCurrentException();
  }
}

}  // namespace voltare::transforms
