// SPDX-License-Identifier: GPL-3.0-or-later
// Encrypted files, compressed streams and archives, as strangers send them.

#include <string>
#include <vector>

#include "archive/plx_extract.h"
#include "archive/plx_reader.h"
#include "fuzz_target.h"
#include "platform/file.h"
#include "platform/progress.h"
#include "scratch.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/file_io.h"
#include "transforms/key_material.h"
#include "transforms/vlt_format.h"
#include "transforms/xchacha_file.h"

namespace voltare::fuzz {

namespace {

// The password of the known-answer files the seeds come from.
constexpr std::string_view kPassword = "Open sesame";

// A sealed file opened with one key made once: deriving a key per input
// would spend every run in Argon2id. The seed was sealed with this key (zero
// salt, the lowest limits), so mutations reach the pieces behind its check.
void FuzzSealedFile(const std::filesystem::path& source, const std::filesystem::path& decrypted,
                    const std::filesystem::path& expanded, common::UnwatchedProgress& progress) {
  static const transforms::SealedKey key =
      transforms::DeriveSealedKey(kPassword, transforms::SealedSalt{}, transforms::kArgon2Lowest);
  platform::File in(source, platform::File::Mode::Read);
  transforms::FileByteSource from(in);
  if (transforms::ReadAlgorithmCode(from) != transforms::kAlgorithmXChaCha20) return;
  platform::File out(decrypted, platform::File::Mode::CreateTruncate);
  transforms::FileByteSink to(out);
  const auto opened = transforms::OpenSealedStream(
      from, to,
      [](const transforms::SealedSalt&, const transforms::Argon2Limits&) -> const transforms::SealedKey& {
        return key;
      },
      in.size(), progress);
  out.close();
  if (opened == platform::Success) (void)transforms::DecompressFile(decrypted, expanded, &progress);
}

}  // namespace

// The input is the ".vlt" file; it is decrypted under a fixed password with
// each algorithm in turn, and whatever decrypts is expanded as the program does.
void FuzzVltFile(std::span<const std::uint8_t> input) {
  ClearScratch();
  const auto source = WriteInput(input, "input.vlt");
  const auto decrypted = ScratchDir() / "decrypted";
  const auto expanded = ScratchDir() / "expanded";
  common::UnwatchedProgress progress;
  const std::uint64_t desKey = transforms::DesKeyFromPassword(kPassword);
  const platform::ResultCode results[] = {
      transforms::BlowfishDecryptFile(source, decrypted, kPassword, &progress, false),
      transforms::Cast5DecryptFile(source, decrypted, kPassword, &progress),
      transforms::DesDecryptFile(source, decrypted, static_cast<std::uint32_t>(desKey),
                                 static_cast<std::uint32_t>(desKey >> 32), &progress),
  };
  for (platform::ResultCode result : results) {
    // Any outcome will do: the fuzzer looks for crashes and leaks.
    if (result == platform::Success) (void)transforms::DecompressFile(decrypted, expanded, &progress);
  }
  FuzzSealedFile(source, decrypted, expanded, progress);
}

// The input is a zlib stream, as found inside a decrypted file.
void FuzzCompressedStream(std::span<const std::uint8_t> input) {
  ClearScratch();
  const auto source = WriteInput(input, "input.z");
  common::UnwatchedProgress progress;
  (void)transforms::DecompressFile(source, ScratchDir() / "expanded", &progress);  // any outcome will do
}

// The input is a ".plx" archive: listed, then every member taken out.
void FuzzPlxArchive(std::span<const std::uint8_t> input) {
  ClearScratch();
  const auto archive = WriteInput(input, "input.plx");
  std::vector<archive::ArchiveMember> members;
  if (archive::ListArchiveMembers(archive, members) != platform::Success) return;
  std::vector<std::size_t> entries(members.size());
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = i;
  std::vector<archive::ExtractedMember> extracted;
  (void)archive::ExtractFromArchive(entries, archive, extracted);  // any outcome will do
}

}  // namespace voltare::fuzz
