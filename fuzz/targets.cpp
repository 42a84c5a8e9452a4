// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>

#include "fuzz_target.h"

namespace voltare::fuzz {

namespace {

constexpr std::array kTargets{
    Target{"vlt_file", FuzzVltFile},           Target{"compressed_stream", FuzzCompressedStream},
    Target{"plx_archive", FuzzPlxArchive},     Target{"list_text", FuzzListText},
    Target{"list_file", FuzzListFile},         Target{"text_crypt", FuzzTextCrypt},
    Target{"settings_file", FuzzSettingsFile}, Target{"ini_file", FuzzIniFile},
    Target{"smtp_replies", FuzzSmtpReplies},   Target{"http_response", FuzzHttpResponse},
};

}  // namespace

std::span<const Target> Targets() { return kTargets; }

const Target* FindTarget(std::string_view name) {
  for (const Target& target : kTargets) {
    if (target.name == name) return &target;
  }
  return nullptr;
}

}  // namespace voltare::fuzz
