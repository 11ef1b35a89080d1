#include "app/toolkit/qt/skin_files.h"

#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include "platform/debug.h"
#include "platform/files.h"

namespace talvo::app {
namespace {

// The local file a path names, a Qt search path ("skin:…") resolved as QFile
// would: in the first of its folders that holds the file.
std::filesystem::path FsPath(const QString& path) {
  static const QRegularExpression prefixed(QStringLiteral("^([A-Za-z][A-Za-z0-9_]+):(.*)$"));
  if (const auto m = prefixed.match(path); m.hasMatch()) {
    const QStringList folders = QDir::searchPaths(m.captured(1));
    for (const QString& folder : folders) {
      const QString candidate = QDir(folder).filePath(m.captured(2));
      if (QFileInfo::exists(candidate) || &folder == &folders.last()) return candidate.toStdString();
    }
  }
  return path.toStdString();
}

// Where Qt itself would open a style sheet's url: nothing for Qt resources.
std::optional<QString> UrlFile(const QString& target, const QString& skinFolder) {
  if (target.startsWith(QLatin1Char(':')) || target.startsWith(QLatin1String("qrc:"))) return std::nullopt;
  if (target.startsWith(QLatin1String("skin:"))) return QDir(skinFolder).filePath(target.mid(5));
  return target;
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

QString WithSafeImageUrls(const QString& sheet, const QString& skinFolder) {
  static const QRegularExpression url(QStringLiteral(R"re(url\(\s*(?:"([^"]*)"|'([^']*)'|([^)\s]*))\s*\))re"),
                                      QRegularExpression::CaseInsensitiveOption);
  QString out;
  qsizetype copied = 0;
  for (auto it = url.globalMatch(sheet); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    QString target = m.captured(1);
    if (target.isEmpty()) target = m.captured(2);
    if (target.isEmpty()) target = m.captured(3);
    const std::optional<QString> file = UrlFile(target, skinFolder);
    if (!file || IsRegularFile(*file)) continue;
    debug::Line("style sheet: dropped " + target.toStdString() + ", not a regular file");
    out += QStringView(sheet).mid(copied, m.capturedStart() - copied);
    out += QLatin1String("none");
    copied = m.capturedEnd();
  }
  if (copied == 0) return sheet;
  out += QStringView(sheet).mid(copied);
  return out;
}

std::optional<QString> ReadStyleSheet(const QString& file, const QString& skinFolder) {
  const auto bytes = ReadRegularFile(file);
  if (!bytes) return std::nullopt;
  return WithSafeImageUrls(QString::fromUtf8(*bytes), skinFolder);
}

}  // namespace talvo::app
