// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/result.h"

#include "crypto/cipherbase.h"
#include "platform/os_error.h"
#include "transforms/zlib_streams.h"

namespace voltare::transforms {

[[nodiscard]] platform::ResultCode ResultOfCurrentException() noexcept {
  try {
    throw;
  } catch (const crypto::CipherError&) {
    return platform::ErrBadFile;
  } catch (const EDecompressionError&) {
    return platform::ErrBadFile;
  } catch (...) {
    return platform::CurrentExceptionCode();
  }
}

}  // namespace voltare::transforms
