#include "app/toolkit/qt/skin_files.h"

#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/debug.h"
#include "platform/files.h"

namespace talvo::app {
namespace {

// The file QFile opens for a path: a search-path name ("skin:…") in the first
// of its folders that holds it, cleaned as Qt cleans it, else the name itself.
QString QtFileName(const QString& path) {
  static const QRegularExpression prefixed(QStringLiteral("^([A-Za-z][A-Za-z0-9_]+):(.*)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
  if (const auto m = prefixed.match(path); m.hasMatch()) {
    for (const QString& folder : QDir::searchPaths(m.captured(1))) {
      const QString candidate = QDir::cleanPath(folder + QLatin1Char('/') + m.captured(2));
      if (QFileInfo::exists(candidate)) return candidate;
    }
  }
  return path;
}

std::filesystem::path FsPath(const QString& path) { return QtFileName(path).toStdString(); }

// Style sheets are read here as Qt reads them (its CSS scanner, then
// QCss::Parser::parseFunction() and until()), so that a url( is found however
// it is spelt and its name is the one Qt opens.

// Qt first replaces each "\" and 1..6 hex digits by that character (the
// backslash stays when the value is above U+FFFF), then scans the result.
class Unescaped {
 public:
  explicit Unescaped(const QString& sheet) {
    text_.reserve(sheet.size());
    qsizetype extra = 0;
    for (qsizetype i = 0; i < sheet.size();) {
      if (sheet[i] == QLatin1Char('\\')) {
        qsizetype digits = 0;
        while (digits < 6 && i + 1 + digits < sheet.size() && IsHexDigit(sheet[i + 1 + digits].unicode())) ++digits;
        bool ok = false;
        const ushort code = digits > 0 ? QStringView(sheet).mid(i + 1, digits).toUShort(&ok, 16) : 0;
        if (ok) {
          extra += digits;
          escapes_.emplace_back(text_.size(), extra);
          text_ += QChar(code);
          i += 1 + digits;
          continue;
        }
      }
      text_ += sheet[i++];
    }
  }
  const QString& Text() const { return text_; }
  // Where the character at i of the text (or its end) starts in the sheet.
  qsizetype Source(qsizetype i) const {
    const auto after = std::lower_bound(escapes_.begin(), escapes_.end(), std::pair{i, qsizetype{0}});
    return after == escapes_.begin() ? i : i + std::prev(after)->second;
  }

 private:
  static bool IsHexDigit(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  }

  QString text_;
  // Each decoded escape: its place in the text, and the sheet characters
  // dropped by it and all before it.
  std::vector<std::pair<qsizetype, qsizetype>> escapes_;
};

bool IsLetter(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 256; }
bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char16_t c) { return c == '_' || IsLetter(c); }
bool IsNameChar(char16_t c) { return IsNameStart(c) || IsDigit(c) || c == '-'; }
bool IsSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
// Whether "\" and c are an escape in a name or a string.
bool IsEscaped(char16_t c) {
  return c != 0 && c != '\n' && c != '\f' && c != '\r' && !IsDigit(c) && !(c >= 'a' && c <= 'f');
}

// Only the kinds until() counts, and Error: Qt's scanner stops there.
enum class Kind {
  Space,
  Function,
  OpenParen,
  CloseParen,
  OpenBrace,
  CloseBrace,
  OpenBracket,
  CloseBracket,
  Error,
  Other,
};

struct Token {
  Kind kind;
  qsizetype begin;
  qsizetype end;
};

// The token Qt's scanner makes at p (below t.size()): the longest match of
// its grammar; an Error one character long where nothing matches.
Token Lex(const QString& t, qsizetype p) {
  // A NUL reads as the end, as it does in Qt's scanner.
  const auto at = [&](qsizetype i) -> char16_t { return i < t.size() ? t[i].unicode() : 0; };
  const auto startsName = [&](qsizetype i) { return IsNameStart(at(i)) || (at(i) == '\\' && IsEscaped(at(i + 1))); };
  const auto nameEnd = [&](qsizetype i) {
    for (;;) {
      if (IsNameChar(at(i))) {
        ++i;
      } else if (at(i) == '\\' && IsEscaped(at(i + 1))) {
        i += 2;
      } else {
        return i;
      }
    }
  };
  const auto ident = [&](qsizetype from) {
    const qsizetype e = nameEnd(from);
    return at(e) == '(' ? Token{Kind::Function, p, e + 1} : Token{Kind::Other, p, e};
  };
  const char16_t c = at(p);
  if (IsSpace(c)) {
    qsizetype e = p;
    while (IsSpace(at(e))) ++e;
    // Spaces before these belong to them.
    if (at(e) == '{') return {Kind::OpenBrace, p, e + 1};
    if (at(e) == '+' || at(e) == ',' || at(e) == '>' || at(e) == '~') return {Kind::Other, p, e + 1};
    return {Kind::Space, p, e};
  }
  if (startsName(p)) return ident(p);
  if (c == '-') {
    if (at(p + 1) == '-' && at(p + 2) == '>') return {Kind::Other, p, p + 3};
    return startsName(p + 1) ? ident(p + 1) : Token{Kind::Other, p, p + 1};
  }
  if (IsDigit(c) || (c == '.' && IsDigit(at(p + 1)))) {
    qsizetype e = p;
    while (IsDigit(at(e))) ++e;
    if (at(e) == '.' && IsDigit(at(e + 1))) {
      ++e;
      while (IsDigit(at(e))) ++e;
    }
    if (at(e) == '%') return {Kind::Other, p, e + 1};
    if (at(e) == '-' && startsName(e + 1)) return {Kind::Other, p, nameEnd(e + 1)};
    return {Kind::Other, p, startsName(e) ? nameEnd(e) : e};
  }
  if (c == '"' || c == '\'') {
    // Without its closing quote before a line end it still makes a token.
    qsizetype e = p + 1;
    qsizetype accepted = e;
    for (;;) {
      const char16_t d = at(e);
      if (d == c) return {Kind::Other, p, e + 1};
      if (d == 0 || d == '\n' || d == '\f' || d == '\r') return {Kind::Other, p, accepted};
      if (d == '\\') {
        const char16_t x = at(e + 1);
        if (!IsEscaped(x) && x != '\n' && x != '\f' && x != '\r') return {Kind::Other, p, accepted};
        e += x == '\r' && at(e + 2) == '\n' ? 3 : 2;
      } else {
        ++e;
      }
      accepted = e;
    }
  }
  if (c == '/' && at(p + 1) == '*') {
    // An unclosed comment leaves the last character to the next token.
    qsizetype e = p + 2;
    for (; e < t.size() - 1; ++e) {
      if (t[e] == QLatin1Char('*') && t[e + 1] == QLatin1Char('/')) return {Kind::Space, p, e + 2};
    }
    return {Kind::Space, p, e};
  }
  switch (c) {
    case '(':
      return {Kind::OpenParen, p, p + 1};
    case ')':
      return {Kind::CloseParen, p, p + 1};
    case '{':
      return {Kind::OpenBrace, p, p + 1};
    case '}':
      return {Kind::CloseBrace, p, p + 1};
    case '[':
      return {Kind::OpenBracket, p, p + 1};
    case ']':
      return {Kind::CloseBracket, p, p + 1};
    case '!':
    case ':':
    case ';':
    case '=':
    case '>':
    case '+':
    case ',':
    case '.':
    case '/':
      return {Kind::Other, p, p + 1};
    case '*':
    case '|':
    case '~':
      return {Kind::Other, p, at(p + 1) == '=' ? p + 2 : p + 1};
    case '$':
    case '^':
      if (at(p + 1) == '=') return {Kind::Other, p, p + 2};
      break;
    case '#':
      if (IsNameChar(at(p + 1)) || startsName(p + 1)) return {Kind::Other, p, nameEnd(p + 1)};
      break;
    case '@': {
      const qsizetype name = at(p + 1) == '-' ? p + 2 : p + 1;
      if (startsName(name)) return {Kind::Other, p, nameEnd(name)};
      break;
    }
    case '<':
      if (at(p + 1) == '!' && at(p + 2) == '-' && at(p + 3) == '-') return {Kind::Other, p, p + 4};
      break;
    default:
      break;
  }
  return {Kind::Error, p, p + 1};
}

// A token's text as Qt's parser takes it: each backslash drops out.
QString Lexem(const QString& t, const Token& token) {
  QString s;
  for (qsizetype i = token.begin; i < token.end; ++i) {
    if (t[i] == QLatin1Char('\\') && i + 1 < token.end) ++i;
    s += t[i];
  }
  return s;
}

// Qt takes "url(" only in lower case for images and in any case after
// @import; any case is taken here.
bool IsUrl(const QString& t, const Token& token) {
  return token.kind == Kind::Function && Lexem(t, token).compare(QLatin1String("url("), Qt::CaseInsensitive) == 0;
}

struct UrlName {
  qsizetype end;  // just after the ")"
  QString name;
};

// parseFunction() from just after a url's "(": until(RPAREN) counts
// brackets, starting the parentheses at 1 unless spaces follow the "(". The
// name is the text up to the ")", without its first and last character when
// it starts with a quote. Nothing when Qt finds no end, and when another url(
// comes first: its name would be read unchecked.
std::optional<UrlName> ReadUrl(const QString& t, qsizetype from) {
  int parens = 1;
  int braces = 0;
  int brackets = 0;
  bool leading = true;
  QString args;
  for (qsizetype p = from; p < t.size();) {
    const Token token = Lex(t, p);
    p = token.end;
    if (leading && token.kind == Kind::Space) {
      parens = 0;
      continue;
    }
    leading = false;
    switch (token.kind) {
      case Kind::Error:
        return std::nullopt;
      case Kind::Function:
        if (IsUrl(t, token)) return std::nullopt;
        ++parens;
        break;
      case Kind::OpenParen:
        ++parens;
        break;
      case Kind::CloseParen:
        --parens;
        break;
      case Kind::OpenBrace:
        ++braces;
        break;
      case Kind::CloseBrace:
        --braces;
        break;
      case Kind::OpenBracket:
        ++brackets;
        break;
      case Kind::CloseBracket:
        --brackets;
        break;
      default:
        break;
    }
    if (token.kind == Kind::CloseParen && parens <= 0 && braces <= 0 && brackets <= 0) {
      if (args.startsWith(QLatin1Char('"')) || args.startsWith(QLatin1Char('\''))) {
        args.remove(0, 1);
        args.chop(1);
      }
      return UrlName{p, args};
    }
    if (parens < 0 || braces < 0 || brackets < 0) return std::nullopt;
    args += Lexem(t, token);
  }
  return std::nullopt;
}

// Whether Qt, given this name in a style sheet, opens a resource or a regular
// file inside the skin folder.
bool IsSkinImage(const QString& name, const QString& skinFolder) {
  if (name.startsWith(QLatin1Char(':'))) return true;
  const QString folder = QDir::cleanPath(QDir(skinFolder).absolutePath());
  const QString target =
      name.startsWith(QLatin1String("skin:")) ? folder + QLatin1Char('/') + name.mid(5) : QtFileName(name);
  const QString file = QDir::cleanPath(QDir::current().absoluteFilePath(target));
  return file.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) &&
         IsRegularFile(file);
}

}  // namespace

std::optional<QByteArray> ReadRegularFile(const QString& path, size_t maxBytes) {
  if (path.isEmpty()) return std::nullopt;
  const auto bytes = platform::ReadWholeFile(FsPath(path), maxBytes + 1);
  if (!bytes || bytes->size() > maxBytes) return std::nullopt;
  return QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size()));
}

bool IsRegularFile(const QString& path) {
  struct stat info {};
  return !path.isEmpty() && ::stat(FsPath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

QImage ReadImageFile(const QString& path) {
  auto bytes = ReadRegularFile(path, kMaxImageFileBytes);
  if (!bytes) return {};
  QBuffer buffer(&*bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (!size.isValid() || size.width() > kMaxImageSide || size.height() > kMaxImageSide) return {};
  return reader.read();
}

QString HiDpiVariant(const QString& path) {
  const QFileInfo info(path);
  return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("@2x.") + info.suffix();
}

std::vector<StyleSheetUrl> StyleSheetUrls(const QString& sheet) {
  const Unescaped unescaped(sheet);
  const QString& t = unescaped.Text();
  std::vector<StyleSheetUrl> urls;
  for (qsizetype p = 0; p < t.size();) {
    const Token token = Lex(t, p);
    p = token.end;
    if (!IsUrl(t, token)) continue;
    StyleSheetUrl url;
    url.begin = unescaped.Source(token.begin);
    url.open = unescaped.Source(token.end);
    if (std::optional<UrlName> read = ReadUrl(t, token.end)) {
      url.end = unescaped.Source(read->end);
      url.name = std::move(read->name);
      url.read = true;
      p = read->end;
    }
    urls.push_back(std::move(url));
  }
  return urls;
}

QString WithSafeImageUrls(const QString& sheet, const QString& skinFolder) {
  QString out;
  qsizetype copied = 0;
  // Qt takes an application style sheet that starts so for a file's name.
  if (sheet.startsWith(QLatin1String("file:///"))) {
    debug::Line("style sheet: a space put before file:///, which names a file");
    out += QLatin1Char(' ');
  }
  for (const StyleSheetUrl& url : StyleSheetUrls(sheet)) {
    if (url.read && IsSkinImage(url.name, skinFolder)) continue;
    out += QStringView(sheet).mid(copied, url.begin - copied);
    if (url.read) {
      debug::Line("style sheet: dropped " + url.name.toStdString() + ", not a regular file in the skin folder");
      out += QLatin1String("none");
      copied = url.end;
      // Apart from what follows, so that no name runs on from "none".
      if (copied < sheet.size() && (IsNameChar(sheet[copied].unicode()) || sheet[copied] == QLatin1Char('\\')))
        out += QLatin1Char(' ');
    } else {
      debug::Line("style sheet: a url( that does not close, or holds another, renamed none(");
      out += QLatin1String("none(");
      copied = url.open;
    }
  }
  if (out.isEmpty()) return sheet;
  out += QStringView(sheet).mid(copied);
  return out;
}

std::optional<QString> ReadStyleSheet(const QString& file, const QString& skinFolder) {
  const auto bytes = ReadRegularFile(file);
  if (!bytes) return std::nullopt;
  return WithSafeImageUrls(QString::fromUtf8(*bytes), skinFolder);
}

}  // namespace talvo::app
