// Encrypted files, compressed streams and archives, as strangers send them.

#include <string>
#include <vector>

#include "archive/plx_extract.h"
#include "archive/plx_reader.h"
#include "fuzz_target.h"
#include "platform/progress.h"
#include "scratch.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"

namespace voltare::fuzz {

namespace {

// The password of the known-answer files the seeds come from.
constexpr std::string_view kPassword = "Open sesame";

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
