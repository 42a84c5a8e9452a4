// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the e-mail windows (settings and composer) and of the update
// check, in one place.

#include <cstddef>
#include <string_view>

#include "common/translate.h"

#include "common/version.h"

namespace voltare::app::email_messages {

// --- E-mail settings
inline constexpr common::Text kPropCaption = N_("E-mail Preferences");
inline constexpr common::Text kNoServer = N_("No SMTP server set !");
inline constexpr common::Text kNoPort = N_("No port number set !");
inline constexpr common::Text kNoUserName = N_("No username set !");
inline constexpr common::Text kNoName = N_("No name set !");
inline constexpr common::Text kNoAddress = N_("No e-mail address set !");
inline constexpr common::Text kIncompleteSettings = N_("Your e-mail preferences are not filled in correctly.");
// A stored value of a type other than text; "%s" is the value's name.
inline constexpr common::Text kInvalidDataType = N_("Invalid data type for '%s'");

// --- Composer
inline constexpr common::Text kComposerCaption = N_("KOVA E-mail Encrypt");
inline constexpr common::Text kNoRecipient = N_("You have not specified a recipient.");
inline constexpr common::Text kNoPassword = N_("Please fill in a password.");
inline constexpr common::Text kAttachmentsNotEncrypted =
    N_("Please note: your attachment(s) will not be encrypted.\r\nYou will need to do this manually in KOVA Voltare.");
inline constexpr common::Text kSent = N_("Your e-mail is successfully sent !");
inline constexpr common::Text kNotConnected = N_("Not connected");
inline constexpr common::Text kConnected = N_("Connected");
inline constexpr common::Text kAttachmentTitle = N_("Please select an attachment:");
inline constexpr common::Text kAllFilesFilter = N_("All Files (*.*)|*.*");

// Left to us: the maker's download page named in every message sent (the
// maker's web address itself is messages::kHomePage). A reserved example
// address until the maker has a real one.
inline constexpr std::string_view kDownloadAddress = "https://www.kova-software.example/download/";

// The clear text after the encrypted body: two line breaks, two lines, the
// download address, no final line break.
inline constexpr std::string_view kFooterText =
    "\r\n\r\nThis e-mail message is encrypted with KOVA Voltare " VOLTARE_VERSION
    ".\r\n"
    "You can download the latest version of KOVA Voltare at: ";
// The same note after a sealed body (the "Algorithm" setting is 3), which
// releases before the first that reads sealed texts cannot open: the version
// named is that first release, not this one.
#define VOLTARE_FIRST_SEALED_TEXTS_VERSION "2.50"
inline constexpr std::string_view kSealedFooterText =
    "\r\n\r\nThis e-mail message is encrypted with KOVA Voltare " VOLTARE_VERSION
    " using XChaCha20-Poly1305.\r\n"
    "Opening it needs KOVA Voltare for Linux " VOLTARE_FIRST_SEALED_TEXTS_VERSION
    " or later.\r\n"
    "You can download the latest version of KOVA Voltare at: ";
inline constexpr std::string_view kMailerPrefix = "KOVA Voltare - ";

// --- Update check
inline constexpr std::string_view kUpdateSection = "VOLTUPDATE";
// "%s" twice: the version text and the description of the new release.
inline constexpr common::Text kNewVersionQuestion =
    N_("KOVA Voltare %s is available to download at KOVA Software Homepage !\r\n\r\n"
       "This new version contains the following new features:\r\n%s\r\n\r\n"
       "Do you want to download this new version ?");
// The update description lies next to the maker's web pages; the HTTP client
// speaks plain HTTP, so it is fetched over http.
inline constexpr std::string_view kUpdateAddress = "http://www.kova-software.example/Update.ini";
// Tests point the check at a server of their own.
inline constexpr char kUpdateAddressVariable[] = "VOLTARE_UPDATE_URL";
// There is no TLS in the program: an address of another scheme is refused,
// never fetched as plain http behind the user's back. "%s" is the address.
inline constexpr common::Text kUpdateAddressNotHttp =
    N_("Cannot check for a newer release at %s: only http:// addresses can be fetched "
       "(there is no TLS in this program), and no other address is fetched as plain http:// instead.");
// What an update description may hold: a version of digits and dots, and a
// description a message box can show.
inline constexpr std::string_view kVersionCharacters = "0123456789.";
inline constexpr std::size_t kMaxDescriptionCharacters = 2000;

}  // namespace voltare::app::email_messages
