// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/bytestream.h"

#include <cerrno>
#include <system_error>

namespace voltare::crypto {
namespace {

// errno as the failed stream call left it, EIO when it left none.
[[noreturn]] void ThrowStreamError(int saved_errno, const char* what) {
  throw std::system_error(saved_errno != 0 ? saved_errno : EIO, std::generic_category(), what);
}

}  // namespace

std::uint64_t IstreamSource::Remaining() {
  errno = 0;
  const auto here = stream_.tellg();
  if (here == std::istream::pos_type(-1)) ThrowStreamError(errno, "cannot tell the read position");
  stream_.seekg(0, std::ios::end);
  const auto end = stream_.tellg();
  stream_.seekg(here);
  if (end == std::istream::pos_type(-1) || !stream_) {
    ThrowStreamError(errno, "cannot find the end of the input");
  }
  return static_cast<std::uint64_t>(end - here);
}

void IstreamSource::ReadExactly(std::span<std::uint8_t> buffer) {
  if (buffer.empty()) return;
  errno = 0;
  stream_.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
  if (stream_.gcount() != static_cast<std::streamsize>(buffer.size())) {
    ThrowStreamError(errno, "read error: the input ended early");
  }
}

void OstreamSink::Write(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  errno = 0;
  stream_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!stream_) ThrowStreamError(errno, "write error");
}

}  // namespace voltare::crypto
