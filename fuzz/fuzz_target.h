// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Entry points of the fuzz targets: each takes one input from outside (a file,
// a stream, a server's reply) and runs one parser over it. libFuzzer drives
// them under clang; the replay test runs the saved inputs through them with
// the ordinary build, so every fixed finding stays fixed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace voltare::fuzz {

using Entry = void (*)(std::span<const std::uint8_t> input);

struct Target {
  std::string_view name;  // also the folder of its corpus and regressions
  Entry entry;
};

// Every target, in a fixed order.
std::span<const Target> Targets();
const Target* FindTarget(std::string_view name);

void FuzzVltFile(std::span<const std::uint8_t> input);
void FuzzCompressedStream(std::span<const std::uint8_t> input);
void FuzzPlxArchive(std::span<const std::uint8_t> input);
void FuzzListText(std::span<const std::uint8_t> input);
void FuzzListFile(std::span<const std::uint8_t> input);
void FuzzTextCrypt(std::span<const std::uint8_t> input);
void FuzzSettingsFile(std::span<const std::uint8_t> input);
void FuzzIniFile(std::span<const std::uint8_t> input);
void FuzzSmtpReplies(std::span<const std::uint8_t> input);
void FuzzHttpResponse(std::span<const std::uint8_t> input);

}  // namespace voltare::fuzz
