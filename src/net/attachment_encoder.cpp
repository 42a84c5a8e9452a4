// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/attachment_encoder.h"

#include <sys/stat.h>

#include <array>
#include <vector>

#include "platform/file.h"

namespace voltare::net {
namespace {

constexpr std::size_t kBlockSize = 45;
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The classic UUencode alphabet: the grave accent for 0, then '!' to '_'.
char UuChar(unsigned value) { return value == 0 ? '`' : static_cast<char>(' ' + value); }

// Appends the 4 characters of one group of up to 3 bytes.
void AppendGroup(const std::uint8_t* bytes, std::size_t count, TEncodeType method, std::string& out) {
  const unsigned b0 = bytes[0];
  const unsigned b1 = count > 1 ? bytes[1] : 0;
  const unsigned b2 = count > 2 ? bytes[2] : 0;
  const std::array<unsigned, 4> sextets{b0 >> 2, ((b0 & 0x03U) << 4) | (b1 >> 4), ((b1 & 0x0FU) << 2) | (b2 >> 6),
                                        b2 & 0x3FU};
  if (method == encUUCode) {
    for (unsigned sextet : sextets) out += UuChar(sextet);
    return;
  }
  for (std::size_t i = 0; i < 4; ++i) out += i <= count ? kBase64Alphabet[sextets[i]] : '=';
}

bool IsRegularFile(const platform::File& file) {
  struct stat status {};
  return ::fstat(file.fd(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

// Cuts its input into 45-byte lines, whatever pieces the input comes in.
class TAttachmentEncoder::Lines {
 public:
  Lines(TEncodeType method, std::string& out) : method_(method), out_(out) {}

  void Feed(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) {
      block_[filled_++] = byte;
      if (filled_ == kBlockSize) EmitBlock();
    }
  }

  void Finish() {
    if (filled_ > 0) EmitBlock();
    if (method_ == encUUCode) {
      out_ += UuChar(0);
      out_ += "\r\n";
    }
  }

 private:
  void EmitBlock() {
    if (method_ == encUUCode) out_ += UuChar(static_cast<unsigned>(filled_));
    for (std::size_t at = 0; at < filled_; at += 3)
      AppendGroup(block_.data() + at, std::min<std::size_t>(3, filled_ - at), method_, out_);
    out_ += "\r\n";
    filled_ = 0;
  }

  TEncodeType method_;
  std::string& out_;
  std::array<std::uint8_t, kBlockSize> block_{};
  std::size_t filled_ = 0;
};

void TAttachmentEncoder::Encode(std::span<const std::uint8_t> input, std::string& output) const {
  if (OnBeginEncode) OnBeginEncode();
  Lines lines(Method, output);
  lines.Feed(input);
  lines.Finish();
  if (OnEndEncode) OnEndEncode();
}

void TAttachmentEncoder::Encode(platform::File& input, std::string& output) const {
  if (OnBeginEncode) OnBeginEncode();
  // A pipe cannot go back, and is read from where it stands: its start.
  if (IsRegularFile(input)) input.seek(0);
  Lines lines(Method, output);
  std::vector<std::uint8_t> buffer(kBlockSize * 1456);
  while (const std::size_t count = input.read(buffer)) lines.Feed(std::span(buffer).first(count));
  lines.Finish();
  if (OnEndEncode) OnEndEncode();
}

std::string EncodeBase64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t at = 0; at < bytes.size(); at += 3)
    AppendGroup(data + at, std::min<std::size_t>(3, bytes.size() - at), encMime, out);
  return out;
}

}  // namespace voltare::net
