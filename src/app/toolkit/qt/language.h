// Language files: <language><text id="message_text_8">…</text>…</language>,
// UTF-8, in the skin folder.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <unordered_map>

namespace talvo::app {

using LanguageTable = std::unordered_map<std::string, std::string>;

// The id → text table, or nothing (with a reason in *error) when the bytes
// are not a well-formed language file. Elements without an id are skipped;
// of repeated ids the first counts.
std::optional<LanguageTable> ParseLanguage(const QByteArray& bytes, QString* error);

}  // namespace talvo::app
