// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every text a user reads goes through here: it is looked up in the program's
// gettext catalogue (domain "kova-voltare"), and the English text itself is
// the key, so without a catalogue for the user's language, or with a broken
// one, the English text is what shows.

#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>

// Marks a literal for the catalogue where it cannot be looked up yet (a
// constant, a table); it is translated where it is read.
#define N_(text) text

// Marks the singular and plural English forms of one counted text.
#define NP_(singular, plural) ::voltare::common::PluralText(singular, plural)

namespace voltare::common {

inline constexpr char kTextDomain[] = "kova-voltare";

// Takes the user's language from the environment (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG) and binds the catalogue: the installed one beside the
// program (<prefix>/share/locale), else the build tree's. Call once, first
// thing in main.
void StartTranslations();

// The folder the catalogues are read from; empty before StartTranslations.
std::string TranslationsFolder();

// The language of the catalogue gettext opened for the user ("de", "pt_BR",
// "en@pseudo"), as that catalogue's header names it; empty when the texts
// are the English originals. Whatever else shows texts (the toolkit's own
// dialogs) follows this, so that a window never mixes two languages.
std::string CatalogueLanguage();

// `msgid` in the user's language; never null, and `msgid` itself when the
// catalogue has no entry. The text lives as long as the program.
const char* Translate(const char* msgid);

// The form of `singular`/`plural` that fits `count` in the user's language.
const char* TranslatePlural(const char* singular, const char* plural, unsigned long count);

// A message text kept as its English original and translated each time it
// is read, so that a constant defined before the language is known still
// shows in that language.
class Text {
 public:
  constexpr Text(const char* msgid) : msgid_(msgid) {}  // NOLINT: stands for its literal

  const char* c_str() const { return Translate(msgid_); }
  std::string str() const { return c_str(); }
  operator std::string_view() const { return c_str(); }  // NOLINT: used wherever a text is
  constexpr const char* english() const { return msgid_; }

  friend bool operator==(const Text& text, std::string_view other) { return std::string_view(text) == other; }
  friend std::string operator+(const Text& text, std::string_view tail) { return text.str().append(tail); }
  friend std::string operator+(std::string_view head, const Text& text) {
    return std::string(head).append(text.c_str());
  }
  friend std::ostream& operator<<(std::ostream& out, const Text& text);

 private:
  const char* msgid_;
};

// A translated text with each "%s" filled in order: for texts whose parts a
// translation may put in another order of words around them.
std::string Filled(std::string_view format, std::initializer_list<std::string_view> values);

// A counted text: its English singular and plural, and the form the user's
// language uses for a count, read when the count is known.
class PluralText {
 public:
  constexpr PluralText(const char* singular, const char* plural) : singular_(singular), plural_(plural) {}
  const char* For(unsigned long count) const { return TranslatePlural(singular_, plural_, count); }

 private:
  const char* singular_;
  const char* plural_;
};

}  // namespace voltare::common

// Translates a literal where it stands.
inline const char* tr_(const char* msgid) { return voltare::common::Translate(msgid); }
// ngettext: the singular and plural English texts and the count that picks one.
inline const char* trn_(const char* singular, const char* plural, unsigned long count) {
  return voltare::common::TranslatePlural(singular, plural, count);
}
