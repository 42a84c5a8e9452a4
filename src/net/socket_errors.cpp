// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socket_errors.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/translate.h"
#include "net/messages.h"

namespace voltare::net {
namespace {

// The descriptions are translated where they are read.
struct ErrorRow {
  int code;
  const char* description;
};

constexpr std::array<ErrorRow, 51> kSocketErrors{{
    {10004, N_("Interrupted system call")},
    {10009, N_("Bad file number")},
    {10013, N_("Permission denied")},
    {10014, N_("Bad address")},
    {10022, N_("Invalid argument")},
    {10024, N_("Too many open files")},
    {10035, N_("Operation would block")},
    {10036, N_("Operation now in progress")},
    {10037, N_("Operation already in progress")},
    {10038, N_("Socket operation on non-socket")},
    {10039, N_("Destination address required")},
    {10040, N_("Message too long")},
    {10041, N_("Protocol wrong type for socket")},
    {10042, N_("Bad protocol option")},
    {10043, N_("Protocol not supported")},
    {10044, N_("Socket type not supported")},
    {10045, N_("Operation not supported on socket")},
    {10046, N_("Protocol family not supported")},
    {10047, N_("Address family not supported by protocol family")},
    {10048, N_("Address already in use")},
    {10049, N_("Can't assign requested address")},
    {10050, N_("Network is down")},
    {10051, N_("Network is unreachable")},
    {10052, N_("Net dropped connection or reset")},
    {10053, N_("Software caused connection abort")},
    {10054, N_("Connection reset by peer")},
    {10055, N_("No buffer space available")},
    {10056, N_("Socket is already connected")},
    {10057, N_("Socket is not connected")},
    {10058, N_("Can't send after socket shutdown")},
    {10059, N_("Too many references, can't splice")},
    {10060, N_("Connection timed out")},
    {10061, N_("Connection refused")},
    {10062, N_("Too many levels of symbolic links")},
    {10063, N_("File name too long")},
    {10064, N_("Host is down")},
    {10065, N_("No route to Host")},
    {10066, N_("Directory not empty")},
    {10067, N_("Too many processes")},
    {10068, N_("Too many users")},
    {10069, N_("Disc Quota Exceeded")},
    {10070, N_("Stale NFS file handle")},
    {10071, N_("Too many levels of remote in path")},
    {10091, N_("Network subsystem is unavailable")},
    {10092, N_("Socket library version out of range")},
    {10093, N_("Socket library not yet started")},
    {11001, N_("Host not found")},
    {11002, N_("Non-Authoritative Host not found")},
    {11003, N_("Non-Recoverable errors: FORMERR, REFUSED, NOTIMP")},
    {11004, N_("Valid name, no data record of requested type")},
    {0, N_("Unrecognized error code")},
}};

// POSIX errno values and the table rows that mean the same thing.
constexpr std::array<std::pair<int, int>, 42> kErrnoRows{{
    {EINTR, 10004},         {EBADF, 10009},        {EACCES, 10013},          {EFAULT, 10014},
    {EINVAL, 10022},        {EMFILE, 10024},       {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},
    {EALREADY, 10037},      {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},     {ENETUNREACH, 10051},     {ENETRESET, 10052},
    {ECONNABORTED, 10053},  {ECONNRESET, 10054},   {ENOBUFS, 10055},         {EISCONN, 10056},
    {ENOTCONN, 10057},      {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},  {ELOOP, 10062},        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},  {ENOTEMPTY, 10066},    {EUSERS, 10068},          {EDQUOT, 10069},
    {ESTALE, 10070},        {EREMOTE, 10071},
}};

const ErrorRow* FindRow(int code) {
  for (const auto& row : kSocketErrors)
    if (row.code == code) return &row;
  return nullptr;
}

}  // namespace

std::string_view SocketErrorDescription(int code) {
  const ErrorRow* row = FindRow(code);
  return tr_(row != nullptr ? row->description : kSocketErrors.back().description);
}

bool IsKnownSocketError(int code) { return FindRow(code) != nullptr; }

std::string SocketErrorText(int code) {
  if (!IsKnownSocketError(code)) return messages::kUnknownErrorNo + std::to_string(code);
  return std::to_string(code) + ":" + std::string(SocketErrorDescription(code));
}

int SocketErrorFromErrno(int error) {
  for (const auto& [posix, code] : kErrnoRows)
    if (posix == error) return code;
  return 0;
}

std::string SocketErrnoText(int error) {
  if (const int code = SocketErrorFromErrno(error); code != 0) return SocketErrorText(code);
  return std::to_string(error) + ":" + std::strerror(error);
}

}  // namespace voltare::net
