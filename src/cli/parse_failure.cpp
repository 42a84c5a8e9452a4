// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/parse_failure.h"

#include <algorithm>
#include <array>
#include <regex>
#include <string_view>

#include "common/translate.h"

namespace voltare::cli {

namespace {

// One message of the parser: its English form with the parts it fills in
// captured in order, and the catalogue's sentence with a "%s" for each.
struct KnownMessage {
  const char* text;
  const char* english;
};

// The parts may hold any character the user typed, line breaks included.
constexpr std::array kKnownMessages = {
    KnownMessage{N_("A subcommand is required"), R"(A subcommand is required)"},
    KnownMessage{N_("A subcommand or a PATH is required"), R"(A subcommand or a PATH is required)"},
    // TRANSLATORS: %s is an option's or argument's name ("FILE", "--to").
    KnownMessage{N_("%s is required"), R"(([\s\S]+) is required)"},
    // TRANSLATORS: two options that may not be given together.
    KnownMessage{N_("%s excludes %s"), R"(([\s\S]+) excludes ([\s\S]+))"},
    // TRANSLATORS: an option given without its value, and the kind of value ("--to: 1 required TEXT missing").
    KnownMessage{N_("%s: 1 required %s missing"), R"(([\s\S]+): 1 required ([\s\S]+) missing)"},
    // TRANSLATORS: an option that takes one value, and how many it was given.
    KnownMessage{N_("%s: At Most 1 required but received %s"),
                 R"(([\s\S]+): At Most 1 required but received ([\s\S]+))"},
    // TRANSLATORS: an option and the value it was given.
    KnownMessage{N_("Could not convert: %s = %s"), R"(Could not convert: ([\s\S]+) = ([\s\S]*))"},
    // TRANSLATORS: an option, the value it was given, and the lowest and highest value it takes.
    KnownMessage{N_("%s: Value %s not in range %s to %s"),
                 R"(([\s\S]+): Value ([\s\S]+) not in range ([\s\S]+) to ([\s\S]+))"},
    // TRANSLATORS: an option, the value it was given, and the values it takes ("{government,normal}").
    KnownMessage{N_("%s: %s not in %s"), R"(([\s\S]+): ([\s\S]+) not in (\{[\s\S]*\}))"},
    // TRANSLATORS: an option and the file named with it.
    KnownMessage{N_("%s: File does not exist: %s"), R"(([\s\S]+): File does not exist: ([\s\S]+))"},
    // TRANSLATORS: an option and the folder named with it where a file belongs.
    KnownMessage{N_("%s: File is actually a directory: %s"), R"(([\s\S]+): File is actually a directory: ([\s\S]+))"},
};

// The arguments no command took: counted, for the plural form, by the blanks
// the parser joins them with.
std::string ExtrasText(std::string_view arguments, bool several) {
  const std::size_t count = several ? std::max<std::size_t>(2, std::ranges::count(arguments, ' ') + 1) : 1;
  // TRANSLATORS: %s lists the words of the command line that no command takes.
  return common::Filled(
      trn_("The following argument was not expected: %s", "The following arguments were not expected: %s", count),
      {arguments});
}

std::string TranslatedMessage(const std::string& english) {
  constexpr std::string_view kOneExtra = "The following argument was not expected: ";
  constexpr std::string_view kSeveralExtras = "The following arguments were not expected: ";
  if (english.starts_with(kOneExtra)) return ExtrasText(std::string_view(english).substr(kOneExtra.size()), false);
  if (english.starts_with(kSeveralExtras)) {
    return ExtrasText(std::string_view(english).substr(kSeveralExtras.size()), true);
  }
  for (const KnownMessage& known : kKnownMessages) {
    std::smatch parts;
    if (!std::regex_match(english, parts, std::regex(known.english))) continue;
    // Parts the message does not have are empty, and its text has no "%s" for them.
    return common::Filled(tr_(known.text), {parts.str(1), parts.str(2), parts.str(3), parts.str(4)});
  }
  return english;
}

}  // namespace

std::string ParseFailureText(const CLI::App*, const CLI::Error& error) {
  return TranslatedMessage(error.what()) + "\n" + tr_("Run with --help for more information.") + "\n";
}

}  // namespace voltare::cli
