// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Proof that an encrypted file reads back to the file it was made from,
// before that file is wiped. The encrypted file is decrypted and expanded
// into nothing but a running comparison with the original: no decrypted or
// expanded byte is ever written anywhere, and only one piece of each is in
// memory at a time.

#include <filesystem>

#include "crypto/bytestream.h"
#include "platform/file.h"
#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/key_material.h"

namespace voltare::transforms {

// `encrypted` holds a whole encrypted file from its current position (a
// ".vlt" of any of the three algorithms, or an archive member); `key` is what
// it was encrypted with. Success when it decrypts and expands to exactly the
// bytes of `original`. Otherwise ErrInternal (no original path or no progress
// indicator); ErrNoSuchFile (the original does not exist); ErrBadPassword (the
// key does not open it); ErrBadFile (not an encrypted file, damaged, or it
// expands to anything other than the original); or the errno of a failed
// read. The progress indicator moves as the decryption does.
[[nodiscard]] platform::ResultCode VerifyEncryptedFile(crypto::ByteSource& encrypted,
                                                       const std::filesystem::path& original, const KeyMaterial& key,
                                                       platform::Progress* progress);

// The same with the original already open, compared from its current
// position on: the file read back is the one held, whatever its name now
// refers to. ErrInternal when it is not open.
[[nodiscard]] platform::ResultCode VerifyEncryptedFile(crypto::ByteSource& encrypted, platform::File& original,
                                                       const KeyMaterial& key, platform::Progress* progress);

// The same for an encrypted file on the disk; ErrNoSuchFile also when that
// does not exist. A sealed file (algorithm 3) is opened with the key the
// batch derived for it, so the read-back costs no second derivation.
[[nodiscard]] platform::ResultCode VerifyEncryptedFile(const std::filesystem::path& encrypted,
                                                       const std::filesystem::path& original, const KeyMaterial& key,
                                                       platform::Progress* progress);

// Checks an encrypted file without its original and without writing any of
// it: decrypted and expanded into nothing. Success; ErrBadPassword;
// ErrTampered (a sealed file changed or cut off); ErrBadFile (not an
// encrypted file, or damage that the expansion or its checksum shows — for
// the three older algorithms the only sign of a change); or the errno of a
// failed read.
[[nodiscard]] platform::ResultCode CheckEncryptedFile(crypto::ByteSource& encrypted, const KeyMaterial& key,
                                                      platform::Progress* progress);
[[nodiscard]] platform::ResultCode CheckEncryptedFile(const std::filesystem::path& encrypted, const KeyMaterial& key,
                                                      platform::Progress* progress);

}  // namespace voltare::transforms
