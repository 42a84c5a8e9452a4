// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TAttachmentEncoder: turns a file into the text lines of a mail part, in
// blocks of 45 input bytes per line: Base64 (60 characters a line) or
// UUencode (a length character, then 60 characters).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace voltare::platform {
class File;
}

namespace voltare::net {

enum TEncodeType { encMime = 0, encUUCode = 1 };

class TAttachmentEncoder {
 public:
  TEncodeType Method = encMime;
  std::function<void()> OnBeginEncode;
  std::function<void()> OnEndEncode;

  // Appends the encoded lines of `input`, each ending in CR LF, to `output`.
  void Encode(std::span<const std::uint8_t> input, std::string& output) const;
  // The same for a whole file, read from its start (a stream from where it
  // stands) to its end.
  void Encode(platform::File& input, std::string& output) const;

 private:
  class Lines;
};

// Base64 of RFC 2045 in one piece, without line breaks.
std::string EncodeBase64(std::string_view bytes);

}  // namespace voltare::net
