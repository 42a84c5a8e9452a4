// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TMailMessage: what the SMTP client sends. Lists hold one entry each; a
// recipient entry may be a bare address, "Name <address>" or "word:address".

#include <string>
#include <vector>

namespace voltare::net {

struct TMailMessage {
  std::string FromAddress;
  std::string FromName;
  std::vector<std::string> ToAddress;
  std::vector<std::string> ToCarbonCopy;
  std::vector<std::string> ToBlindCarbonCopy;
  // Text lines; an entry may itself hold line breaks.
  std::vector<std::string> Body;
  // Full paths of the files to attach.
  std::vector<std::string> Attachments;
  std::string Subject;
  std::string LocalProgram;
  std::string Date;
  std::string ReplyTo;
};

}  // namespace voltare::net
