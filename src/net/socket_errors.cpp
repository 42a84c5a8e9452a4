// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socket_errors.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "net/messages.h"

namespace voltare::net {
namespace {

struct ErrorRow {
  int code;
  std::string_view description;
};

constexpr std::array<ErrorRow, 51> kSocketErrors{{
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Net dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to Host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc Quota Exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Socket library version out of range"},
    {10093, "Socket library not yet started"},
    {11001, "Host not found"},
    {11002, "Non-Authoritative Host not found"},
    {11003, "Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record of requested type"},
    {0, "Unrecognized error code"},
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
  return row != nullptr ? row->description : kSocketErrors.back().description;
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
