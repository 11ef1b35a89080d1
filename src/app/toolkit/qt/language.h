// Language files: <language><text id="message_text_8">…</text>…</language>,
// UTF-8, in the skin folder.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace talvo::app {

using LanguageTable = std::unordered_map<std::string, std::string>;

// The id → text table, or nothing (with a reason in *error) when the bytes
// are not a well-formed language file. Elements without an id are skipped;
// of repeated ids the first counts. *code gets the root's code attribute.
std::optional<LanguageTable> ParseLanguage(const QByteArray& bytes, QString* error, QString* code = nullptr);

// The font the window's text is drawn in, for the language of a file's code:
// `base` with the skin's families, "Noto Sans" then the Simplified Chinese
// fonts. Where "Noto Sans" is missing, a language other than Chinese puts
// `systemSans()` (the font the system draws sans-serif text in) second, so
// its Latin text never loads a CJK font while Chinese text in it (a profile's
// name) still takes the Simplified Chinese glyphs; semi-condensed, as the
// skin is laid out for Noto Sans and the usual stand-in, DejaVu Sans, is a
// tenth wider. Chinese draws all its text from the Simplified Chinese font.
QFont UiFont(QFont base, QStringView code, bool hasNotoSans, const std::function<QString()>& systemSans);

}  // namespace talvo::app
