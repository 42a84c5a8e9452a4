// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/verify.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "crypto/blowfish.h"
#include "crypto/burn.h"
#include "crypto/cast128.h"
#include "crypto/des.h"
#include "platform/file.h"
#include "transforms/cbc_file.h"
#include "transforms/compress.h"
#include "transforms/file_io.h"
#include "transforms/result.h"
#include "transforms/sealed_expand.h"
#include "transforms/vlt_format.h"
#include "transforms/xchacha_file.h"
#include "transforms/zlib_streams.h"

namespace voltare::transforms {

namespace {

using platform::ResultCode;

// How a read-back ends early; each is caught below and becomes its code.
struct WrongPassword {};
struct Differs {};
struct Tampered {};

// Takes what it is given and keeps nothing: a check without an original.
class DiscardingSink final : public crypto::ByteSink {
 public:
  void Write(std::span<const std::uint8_t>) override {}
};

// The first two decrypted bytes must be the level-9 header: decryption takes
// anything else for a wrong password, so a copy without it cannot be read
// back even when zlib would expand it.
class HeaderCheckingSink final : public crypto::ByteSink {
 public:
  explicit HeaderCheckingSink(crypto::ByteSink& next) noexcept : next_(next) {}

  void Write(std::span<const std::uint8_t> bytes) override {
    for (std::size_t i = 0; i < bytes.size() && checked_ < kLevel9Header.size(); ++i, ++checked_) {
      if (bytes[i] != kLevel9Header[checked_]) throw WrongPassword{};
    }
    next_.Write(bytes);
  }

 private:
  crypto::ByteSink& next_;
  std::size_t checked_ = 0;
};

// Compares what is written to it with the original, read along piece by
// piece; the first difference ends the read-back.
class ComparingSink final : public crypto::ByteSink {
 public:
  explicit ComparingSink(platform::File& original) noexcept : original_(original) {}
  ~ComparingSink() override { crypto::Burn(piece_); }
  ComparingSink(const ComparingSink&) = delete;
  ComparingSink& operator=(const ComparingSink&) = delete;

  void Write(std::span<const std::uint8_t> bytes) override {
    while (!bytes.empty()) {
      const auto expected = std::span(piece_).first(std::min(bytes.size(), piece_.size()));
      if (original_.read(expected) != expected.size() || !std::equal(expected.begin(), expected.end(), bytes.begin())) {
        throw Differs{};
      }
      bytes = bytes.subspan(expected.size());
    }
  }

  // True when the original holds nothing beyond what was compared.
  bool AtEnd() {
    std::array<std::uint8_t, 1> more{};
    return original_.read(more) == 0;
  }

 private:
  platform::File& original_;
  std::array<std::uint8_t, kCompressPieceSize> piece_{};
};

// The magic and the algorithm code; ErrBadFile for anything that does not
// begin like an encrypted file.
int ReadAlgorithm(crypto::ByteSource& encrypted) {
  const int code = ReadAlgorithmCode(encrypted);
  if (code < 0) throw Differs{};
  return code;
}

// A sealed file opened with the batch's key for it and expanded, on two
// threads as its decryption runs; its own result codes become the
// read-back's exceptions.
void OpenSealed(crypto::ByteSource& encrypted, crypto::ByteSink& out, const KeyMaterial& key, std::uint64_t size,
                platform::Progress& progress) {
  const ResultCode opened = OpenAndExpandSealed(
      encrypted, out,
      [&](const SealedSalt& salt, const Argon2Limits& limits) -> const SealedKey& {
        return key.sealedKeys->ForFile(key.password, salt, limits);
      },
      size, progress);
  if (opened == platform::ErrBadPassword) throw WrongPassword{};
  if (opened == platform::ErrTampered) throw Tampered{};
  if (opened != platform::Success) throw Differs{};
}

template <typename Cipher>
void DecryptCbc(std::uint8_t algorithm, int keyBits, crypto::ByteSource& encrypted, crypto::ByteSink& out,
                const KeyMaterial& key, std::uint64_t size, platform::Progress& progress) {
  Cipher cipher;  // burned when it goes
  const CbcFileJob job{cipher, algorithm, keyBits, false, false};
  if (!DecryptCbcStream(job, encrypted, out, key.password, size, progress)) throw WrongPassword{};
}

// Decrypts what follows the header into `out` with the algorithm it names.
void Decrypt(int algorithm, crypto::ByteSource& encrypted, crypto::ByteSink& out, const KeyMaterial& key,
             std::uint64_t size, platform::Progress& progress) {
  switch (algorithm) {
    case kAlgorithmBlowfish:
      return DecryptCbc<crypto::TBlowfishCipher>(kAlgorithmBlowfish, kBlowfishKeyBits, encrypted, out, key, size,
                                                 progress);
    case kAlgorithmCast128:
      return DecryptCbc<crypto::TCast128Cipher>(kAlgorithmCast128, kCast128KeyBits, encrypted, out, key, size,
                                                progress);
    case kAlgorithmDes: {
      const crypto::TDESCipher cipher(DesKeyFromKeyBlock(*key.keyBlock));
      return cipher.DecryptStream(encrypted, out, &progress);
    }
    default:
      throw Differs{};
  }
}

// Decrypts and expands `encrypted` into `tail`; true when the compressed
// stream ended where the encrypted file did. Throws the read-back's
// exceptions.
bool ReadBack(crypto::ByteSource& encrypted, crypto::ByteSink& tail, const KeyMaterial& key,
              platform::Progress& progress) {
  const std::uint64_t size = encrypted.Remaining();
  const int algorithm = ReadAlgorithm(encrypted);
  if (algorithm == kAlgorithmXChaCha20) {
    OpenSealed(encrypted, tail, key, size, progress);  // checks where its stream ends
    return true;
  }
  ExpandingSink expand(tail);
  HeaderCheckingSink checked(expand);
  Decrypt(algorithm, encrypted, checked, key, size, progress);
  return expand.StreamEnded();
}

// The result code of the read-back exception being handled.
[[nodiscard]] ResultCode ResultOfReadBack() noexcept {
  try {
    throw;
  } catch (const WrongPassword&) {
    return platform::ErrBadPassword;
  } catch (const Tampered&) {
    return platform::ErrTampered;
  } catch (const Differs&) {
    return platform::ErrBadFile;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

}  // namespace

[[nodiscard]] ResultCode VerifyEncryptedFile(crypto::ByteSource& encrypted, const std::filesystem::path& original,
                                             const KeyMaterial& key, platform::Progress* progress) {
  if (original.empty() || progress == nullptr) return platform::ErrInternal;
  if (!platform::FileExists(original)) return platform::ErrNoSuchFile;
  try {
    auto in = OpenSource(original, false);
    return VerifyEncryptedFile(encrypted, in, key, progress);
  } catch (...) {
    return ResultOfReadBack();
  }
}

[[nodiscard]] ResultCode VerifyEncryptedFile(crypto::ByteSource& encrypted, platform::File& original,
                                             const KeyMaterial& key, platform::Progress* progress) {
  if (!original.isOpen() || progress == nullptr) return platform::ErrInternal;
  try {
    ComparingSink compare(original);
    // A stream cut short, or an original that goes on, is no proof.
    const bool ended = ReadBack(encrypted, compare, key, *progress);
    return ended && compare.AtEnd() ? platform::Success : platform::ErrBadFile;
  } catch (...) {
    return ResultOfReadBack();
  }
}

[[nodiscard]] ResultCode CheckEncryptedFile(crypto::ByteSource& encrypted, const KeyMaterial& key,
                                            platform::Progress* progress) {
  if (progress == nullptr) return platform::ErrInternal;
  try {
    DiscardingSink nowhere;
    return ReadBack(encrypted, nowhere, key, *progress) ? platform::Success : platform::ErrBadFile;
  } catch (...) {
    return ResultOfReadBack();
  }
}

[[nodiscard]] ResultCode CheckEncryptedFile(const std::filesystem::path& encrypted, const KeyMaterial& key,
                                            platform::Progress* progress) {
  if (encrypted.empty()) return platform::ErrInternal;
  if (!platform::FileExists(encrypted)) return platform::ErrNoSuchFile;
  try {
    auto in = OpenSource(encrypted, false);
    FileByteSource source(in);
    return CheckEncryptedFile(source, key, progress);
  } catch (...) {
    return ResultOfCurrentException();
  }
}

[[nodiscard]] ResultCode VerifyEncryptedFile(const std::filesystem::path& encrypted,
                                             const std::filesystem::path& original, const KeyMaterial& key,
                                             platform::Progress* progress) {
  if (encrypted.empty()) return platform::ErrInternal;
  if (!platform::FileExists(encrypted)) return platform::ErrNoSuchFile;
  try {
    auto in = OpenSource(encrypted, false);
    FileByteSource source(in);
    return VerifyEncryptedFile(source, original, key, progress);
  } catch (...) {
    return ResultOfCurrentException();
  }
}

}  // namespace voltare::transforms
