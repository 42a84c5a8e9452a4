// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every text the internet components put into a failure or a status report.
// The failure texts are what the user finally reads inside the caller's box.

#include "common/translate.h"

namespace voltare::net::messages {

// Socket component.
inline constexpr common::Text kSocketInitFailed = N_("Initializaton of network sockets failed");
inline constexpr common::Text kAlreadyConnected = N_("Already connected");
inline constexpr common::Text kHostLookupTimedOut = N_("Host Lookup Timed Out");
inline constexpr common::Text kHostLookupCanceled = N_("Host Lookup Canceled");
inline constexpr common::Text kNullRemoteAddress = N_("Null Remote Address");
inline constexpr common::Text kConnectionTimedOut = N_("Connection Timed out");
inline constexpr common::Text kConnectionCanceled = N_("Connection Canceled");
inline constexpr common::Text kConnectionFailed = N_("Connection Failed");
inline constexpr common::Text kSendAborted = N_("Socket send aborted");
inline constexpr common::Text kReadlnAborted = N_("Socket readln aborted");
inline constexpr common::Text kUnknownErrorNo = N_("Unknown Error No. ");

// Our own: waits on a peer that went away or fell silent end instead of
// hanging, and a peer cannot make us buffer without bound.
inline constexpr common::Text kConnectionClosed = N_("Connection Closed");
inline constexpr common::Text kReadlnTimedOut = N_("Socket readln timed out");
inline constexpr common::Text kSendTimedOut = N_("Socket send timed out");
inline constexpr common::Text kReplyLineTooLong = N_("Reply Line Too Long");
inline constexpr common::Text kTooMuchReceived = N_("Too Much Data Received");

// SMTP client.
inline constexpr common::Text kAuthenticationFailed = N_("Authentication failed");
inline constexpr common::Text kNotConnected = N_("Not Connected");
inline constexpr common::Text kIncompleteHeader = N_("Incomplete Header");
// Our own: a server must not keep one reply going without end.
inline constexpr common::Text kTooManyReplyLines = N_("The server %s sent more than 100 lines in one reply");
inline constexpr common::Text kCannotOpenFile = N_("Cannot open file %s");
// Our own: a pasted field must not smuggle extra header lines or commands.
inline constexpr common::Text kLineBreakInField = N_("Line break not allowed in %s");
// Our own: header fields go out in 7-bit ASCII, and an address cannot be
// encoded the way a name or a subject can.
inline constexpr common::Text kNonAsciiAddress = N_("Letters outside ASCII not allowed in the address %s");
// Our own: a stream is read to its end, but these cannot be.
inline constexpr common::Text kAttachmentIsDevice = N_("Cannot attach %s: it is a device, not a file");
inline constexpr common::Text kAttachmentIsSocket = N_("Cannot attach %s: it is a socket, not a file");
inline constexpr common::Text kAttachmentIsFolder = N_("Cannot attach %s: it is a folder, not a file");

// HTTP client.
inline constexpr common::Text kEmptyUrl = N_("Empty URL");
inline constexpr common::Text kCannotCreateFile = N_("Cannot create file %s");
// Our own bounds on what a server can make us do.
inline constexpr common::Text kTooManyRedirects = N_("Too Many Redirects");
inline constexpr common::Text kResponseTooLarge = N_("Response Too Large");
// A body that ends before the length its header announced.
inline constexpr common::Text kResponseIncomplete = N_("Response Incomplete");
// There is no TLS here; an https address (also one redirected to) is
// refused rather than fetched in clear.
inline constexpr common::Text kHttpsNotSupported = N_("HTTPS Not Supported");

// Status reports (OnStatus) and their levels.
inline constexpr int kLevelReply = 1;
inline constexpr int kLevelCompleted = 2;
inline constexpr int kLevelMachinery = 4;
inline constexpr int kLevelBuildingBlock = 8;
inline constexpr int kLevelErrorManager = 16;

inline constexpr common::Text kStatusConnecting = N_("Connecting");
inline constexpr common::Text kStatusDisconnecting = N_("Disconnecting");
inline constexpr common::Text kStatusCanceling = N_("Canceling");
inline constexpr common::Text kStatusWrite = N_("Write");
inline constexpr common::Text kStatusWriteln = N_("Writeln");
inline constexpr common::Text kStatusReadLn = N_("ReadLn");
inline constexpr common::Text kStatusTransaction = N_("Transaction");
inline constexpr common::Text kStatusSendStream = N_("SendStream");
inline constexpr common::Text kStatusResolveHost = N_("Resolve Host");
inline constexpr common::Text kStatusTimerOn = N_("Timer On");
inline constexpr common::Text kStatusTimerOff = N_("Timer Off");
inline constexpr common::Text kStatusTimerTriggered = N_("Timer Triggered");
inline constexpr common::Text kStatusReadToStream = N_("ReadToStream");
inline constexpr common::Text kStatusLookingUpError = N_("Looking Up Error Message");
inline constexpr common::Text kStatusSendingBuffer = N_("Sending Buffer");
inline constexpr common::Text kStatusRequestClose = N_("Request Close Socket");
inline constexpr common::Text kStatusCheckingError = N_("Checking Error In Error Manager");
inline constexpr common::Text kStatusTransactionCompleted = N_("Transaction Completed");

}  // namespace voltare::net::messages
