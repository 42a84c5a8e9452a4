// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/vlt_format.h"

#include <algorithm>

#include "crypto/burn.h"
#include "crypto/sha1.h"
#include "platform/file.h"

namespace voltare::transforms {

namespace {

// Up to `count` bytes from the start of an existing file; fewer when it is shorter.
std::size_t ReadHead(const std::filesystem::path& path, std::span<std::uint8_t> head) {
  platform::File file(path, platform::File::Mode::Read);
  return file.read(head);
}

}  // namespace

bool IsVltFile(const std::filesystem::path& path) noexcept {
  try {
    if (path.empty() || !platform::FileExists(path)) return false;
    std::array<std::uint8_t, kMagicSize> head{};
    return ReadHead(path, head) == head.size() &&
           std::equal(head.begin(), head.end(), kVltMagic.begin(), kVltMagic.end(),
                      [](std::uint8_t byte, char magic) { return byte == static_cast<std::uint8_t>(magic); });
  } catch (...) {
    return false;
  }
}

int ReadAlgorithmId(const std::filesystem::path& path) noexcept {
  try {
    if (path.empty() || !platform::FileExists(path)) return -1;
    std::array<std::uint8_t, kMagicSize + 1> head{};
    const std::size_t got = ReadHead(path, head);
    const int code = got > kMagicSize ? head[kMagicSize] : 0;
    return code <= kAlgorithmXChaCha20 ? code : -1;
  } catch (...) {
    return -1;
  }
}

int ReadAlgorithmCode(crypto::ByteSource& in) {
  std::array<std::uint8_t, kMagicSize + 1> head{};
  if (in.Remaining() < head.size()) return -1;
  in.ReadExactly(head);
  if (!std::equal(kVltMagic.begin(), kVltMagic.end(), head.begin())) return -1;
  return head[kMagicSize];
}

KeyBlock MakeKeyBlock(std::string_view password) {
  KeyBlock block;
  block.fill(0xFF);
  crypto::TSha1Hash sha1;
  sha1.Init();
  sha1.UpdateStr(password);
  sha1.Final(std::span(block).first(crypto::TSha1Hash::kDigestBytes));
  return block;
}

KeyBlock MakeCheckBlock(crypto::TBlockCipher& cipher, const KeyBlock& key_block) {
  KeyBlock check = key_block;
  cipher.EncryptCBC(check, check);
  cipher.Reset();
  return check;
}

}  // namespace voltare::transforms
