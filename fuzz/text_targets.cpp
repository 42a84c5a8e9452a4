// SPDX-License-Identifier: GPL-3.0-or-later
// Texts from outside: Base64 and encrypted lines from the clipboard or a
// mail, the settings file and initialization files such as "Update.ini".

#include <string>
#include <string_view>

#include "common/progress.h"
#include "common/secret_string.h"
#include "crypto/base64.h"
#include "fuzz_target.h"
#include "platform/ini_file.h"
#include "platform/settings_store.h"
#include "scratch.h"
#include "transforms/sealed_key.h"
#include "transforms/text_crypt.h"

namespace voltare::fuzz {

namespace {

std::string_view AsText(std::span<const std::uint8_t> input) {
  return {reinterpret_cast<const char*>(input.data()), input.size()};
}

}  // namespace

// Malformed text is refused by an exception; only a crash, hang or leak counts.
void FuzzTextCrypt(std::span<const std::uint8_t> input) {
  const std::string_view text = AsText(input);
  try {
    crypto::B64Decode(text);
  } catch (const std::exception&) {
  }
  try {
    transforms::BlowfishDecryptString(text, "Open sesame");
  } catch (const std::exception&) {
  }
  // One key for every header, derived once: a derivation per input would
  // leave no time for the parsing this is about.
  static const transforms::SealedKey key =
      transforms::DeriveSealedKey("Open sesame", transforms::SealedSalt{}, transforms::kArgon2Lowest);
  common::SecretString plain;
  common::UnwatchedProgress progress;
  (void)transforms::OpenSealedText(
      text,
      [](const transforms::SealedSalt&, const transforms::Argon2Limits&) -> const transforms::SealedKey& {
        return key;
      },
      65535, plain, progress);
}

void FuzzSettingsFile(std::span<const std::uint8_t> input) {
  try {
    platform::ParseSettingsText(AsText(input), "fuzz input");
  } catch (const std::exception&) {
  }
}

void FuzzIniFile(std::span<const std::uint8_t> input) {
  ClearScratch();
  const auto path = WriteInput(input, "Update.ini");
  const platform::IniFile file = platform::IniFile::Parse(AsText(input));
  for (const std::string& section : file.sectionNames()) {
    for (const std::string& key :
         platform::ListThroughBuffer(file.keyNames(section), platform::kProfileListBufferSize)) {
      file.value(section, key);
    }
  }
  platform::ReadProfileString(path, "Update", "Number", "");
  platform::ReadProfileInteger(path, "Update", "Number", 0);
}

}  // namespace voltare::fuzz
