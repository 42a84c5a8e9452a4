// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every text the internet components put into a failure or a status report.
// The failure texts are what the user finally reads inside the caller's box.

namespace voltare::net::messages {

// Socket component.
inline constexpr char kSocketInitFailed[] = "Initializaton of network sockets failed";
inline constexpr char kAlreadyConnected[] = "Already connected";
inline constexpr char kHostLookupTimedOut[] = "Host Lookup Timed Out";
inline constexpr char kHostLookupCanceled[] = "Host Lookup Canceled";
inline constexpr char kNullRemoteAddress[] = "Null Remote Address";
inline constexpr char kConnectionTimedOut[] = "Connection Timed out";
inline constexpr char kConnectionCanceled[] = "Connection Canceled";
inline constexpr char kConnectionFailed[] = "Connection Failed";
inline constexpr char kSendAborted[] = "Socket send aborted";
inline constexpr char kReadlnAborted[] = "Socket readln aborted";
inline constexpr char kUnknownErrorNo[] = "Unknown Error No. ";

// Our own: waits on a peer that went away or fell silent end instead of
// hanging, and a peer cannot make us buffer without bound.
inline constexpr char kConnectionClosed[] = "Connection Closed";
inline constexpr char kReadlnTimedOut[] = "Socket readln timed out";
inline constexpr char kSendTimedOut[] = "Socket send timed out";
inline constexpr char kReplyLineTooLong[] = "Reply Line Too Long";
inline constexpr char kTooMuchReceived[] = "Too Much Data Received";

// SMTP client.
inline constexpr char kAuthenticationFailed[] = "Authentication failed";
inline constexpr char kNotConnected[] = "Not Connected";
inline constexpr char kIncompleteHeader[] = "Incomplete Header";
// Our own: a server must not keep one reply going without end.
inline constexpr char kTooManyReplyLines[] = "The server %s sent more than 100 lines in one reply";
inline constexpr char kCannotOpenFile[] = "Cannot open file %s";
// Our own: a pasted field must not smuggle extra header lines or commands.
inline constexpr char kLineBreakInField[] = "Line break not allowed in %s";
// Our own: header fields go out in 7-bit ASCII, and an address cannot be
// encoded the way a name or a subject can.
inline constexpr char kNonAsciiAddress[] = "Letters outside ASCII not allowed in the address %s";
// Our own: a stream is read to its end, but these cannot be.
inline constexpr char kAttachmentIsDevice[] = "Cannot attach %s: it is a device, not a file";
inline constexpr char kAttachmentIsSocket[] = "Cannot attach %s: it is a socket, not a file";
inline constexpr char kAttachmentIsFolder[] = "Cannot attach %s: it is a folder, not a file";

// HTTP client.
inline constexpr char kEmptyUrl[] = "Empty URL";
inline constexpr char kCannotCreateFile[] = "Cannot create file %s";
// Our own bounds on what a server can make us do.
inline constexpr char kTooManyRedirects[] = "Too Many Redirects";
inline constexpr char kResponseTooLarge[] = "Response Too Large";
// A body that ends before the length its header announced.
inline constexpr char kResponseIncomplete[] = "Response Incomplete";
// There is no TLS here; an https address (also one redirected to) is
// refused rather than fetched in clear.
inline constexpr char kHttpsNotSupported[] = "HTTPS Not Supported";

// Status reports (OnStatus) and their levels.
inline constexpr int kLevelReply = 1;
inline constexpr int kLevelCompleted = 2;
inline constexpr int kLevelMachinery = 4;
inline constexpr int kLevelBuildingBlock = 8;
inline constexpr int kLevelErrorManager = 16;

inline constexpr char kStatusConnecting[] = "Connecting";
inline constexpr char kStatusDisconnecting[] = "Disconnecting";
inline constexpr char kStatusCanceling[] = "Canceling";
inline constexpr char kStatusWrite[] = "Write";
inline constexpr char kStatusWriteln[] = "Writeln";
inline constexpr char kStatusReadLn[] = "ReadLn";
inline constexpr char kStatusTransaction[] = "Transaction";
inline constexpr char kStatusSendStream[] = "SendStream";
inline constexpr char kStatusResolveHost[] = "Resolve Host";
inline constexpr char kStatusTimerOn[] = "Timer On";
inline constexpr char kStatusTimerOff[] = "Timer Off";
inline constexpr char kStatusTimerTriggered[] = "Timer Triggered";
inline constexpr char kStatusReadToStream[] = "ReadToStream";
inline constexpr char kStatusLookingUpError[] = "Looking Up Error Message";
inline constexpr char kStatusSendingBuffer[] = "Sending Buffer";
inline constexpr char kStatusRequestClose[] = "Request Close Socket";
inline constexpr char kStatusCheckingError[] = "Checking Error In Error Manager";
inline constexpr char kStatusTransactionCompleted[] = "Transaction Completed";

}  // namespace voltare::net::messages
