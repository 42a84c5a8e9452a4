// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/translate.h"

#include <libintl.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string_view>
#include <system_error>

namespace voltare::common {
namespace {

std::string& BoundFolder() {
  static std::string folder;
  return folder;
}

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

// The installed catalogues sit in share/locale beside the program's bin/,
// wherever it was installed to (a staged DESTDIR too); a program run from
// the build tree reads the ones the build made.
std::string CatalogueFolder() {
  const std::filesystem::path program = ProgramFolder();
  std::error_code error;
  if (!program.empty() && program.filename() == "bin") {
    const std::filesystem::path installed = program.parent_path() / "share" / "locale";
    if (std::filesystem::is_directory(installed, error)) return installed.string();
  }
#ifdef VOLTARE_BUILD_LOCALE_DIR
  if (std::filesystem::is_directory(VOLTARE_BUILD_LOCALE_DIR, error)) return VOLTARE_BUILD_LOCALE_DIR;
#endif
  return VOLTARE_INSTALL_LOCALE_DIR;
}

// The language part of the first of LC_ALL, LC_MESSAGES and LANG that is set
// ("de_DE.UTF-8" -> "de_DE"), as gettext would read it.
std::string AskedLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string language(value);
    language = language.substr(0, language.find('.'));
    if (language == "C" || language == "POSIX") return {};
    return language;
  }
  return {};
}

// A system without the user's locale generated (a container, a fresh
// install) would otherwise fall back to ASCII English: the texts are UTF-8
// and gettext only needs a language, so the language asked for is kept in
// LANGUAGE over the always-present C.UTF-8 locale.
void SetLocaleFromEnvironment() {
  if (std::setlocale(LC_ALL, "") != nullptr) return;
  const std::string language = AskedLanguage();
  if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) return;
  const char* languageList = std::getenv("LANGUAGE");
  if (!language.empty() && (languageList == nullptr || *languageList == '\0')) {
    setenv("LANGUAGE", language.c_str(), 1);
  }
}

}  // namespace

void StartTranslations() {
  SetLocaleFromEnvironment();
  // Numbers the program writes into files, headers and settings keep the
  // decimal point whatever the language.
  std::setlocale(LC_NUMERIC, "C");
  BoundFolder() = CatalogueFolder();
  bindtextdomain(kTextDomain, BoundFolder().c_str());
  bind_textdomain_codeset(kTextDomain, "UTF-8");
}

std::string TranslationsFolder() { return BoundFolder(); }

std::string CatalogueLanguage() {
  // The empty msgid is the catalogue's header: gettext answers it from the
  // catalogue it chose by LANGUAGE, LC_ALL, LC_MESSAGES and LANG, and with
  // the empty text when it chose none.
  const std::string_view header = dgettext(kTextDomain, "");
  constexpr std::string_view kField = "Language:";
  for (std::size_t at = 0; at < header.size();) {
    const std::size_t end = std::min(header.find('\n', at), header.size());
    std::string_view line = header.substr(at, end - at);
    if (line.substr(0, kField.size()) == kField) {
      line.remove_prefix(kField.size());
      while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
      while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
      return std::string(line);
    }
    at = end + 1;
  }
  return {};
}

const char* Translate(const char* msgid) {
  // An empty msgid would return the catalogue's header entry.
  if (msgid == nullptr || *msgid == '\0') return "";
  return dgettext(kTextDomain, msgid);
}

const char* TranslatePlural(const char* singular, const char* plural, unsigned long count) {
  return dngettext(kTextDomain, singular, plural, count);
}

std::ostream& operator<<(std::ostream& out, const Text& text) { return out << text.c_str(); }

std::string Filled(std::string_view format, std::initializer_list<std::string_view> values) {
  std::string text(format);
  std::size_t from = 0;
  for (const std::string_view value : values) {
    const std::size_t at = text.find("%s", from);
    if (at == std::string::npos) break;
    text.replace(at, 2, value);
    from = at + value.size();
  }
  return text;
}

}  // namespace voltare::common
