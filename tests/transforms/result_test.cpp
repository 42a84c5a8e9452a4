// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <stdexcept>

#include "crypto/cipherbase.h"
#include "platform/os_error.h"
#include "transforms/zlib_streams.h"

namespace voltare::transforms {
namespace {

template <typename Thrower>
platform::ResultCode CodeOf(Thrower thrower) {
  try {
    thrower();
  } catch (...) {
    return ResultOfCurrentException();
  }
  return platform::Success;
}

TEST(ResultOfCurrentExceptionTest, UndecodableDataIsABadFile) {
  EXPECT_EQ(CodeOf([] { throw crypto::CipherError("DecryptStream: Ciphertext is not a multiple of 8 bytes."); }),
            platform::ErrBadFile);
  EXPECT_EQ(CodeOf([] { throw EDecompressionError("error"); }), platform::ErrBadFile);
  EXPECT_EQ(CodeOf([] { throw platform::DamagedDataError("cut off"); }), platform::ErrBadFile);
}

TEST(ResultOfCurrentExceptionTest, SystemFailuresKeepTheirErrno) {
  EXPECT_EQ(CodeOf([] { throw platform::OsError(ENOSPC, "write"); }), ENOSPC);
  EXPECT_EQ(CodeOf([] { throw platform::OsError(EACCES, "open"); }), EACCES);
}

TEST(ResultOfCurrentExceptionTest, EverythingElseIsAFixedFailureNeverSuccess) {
  EXPECT_EQ(CodeOf([] { throw platform::OsError(0, "no errno left"); }), platform::ErrInternal);
  EXPECT_EQ(CodeOf([] { throw ECompressionError("error"); }), platform::ErrInternal);
  EXPECT_EQ(CodeOf([] { throw std::bad_alloc(); }), platform::ErrInternal);
  EXPECT_EQ(CodeOf([] { throw std::logic_error("?"); }), platform::ErrInternal);
}

}  // namespace
}  // namespace voltare::transforms
