// Reading the files the program folder and the user name: layouts, language
// files, style sheets, menus and images. Only regular files are opened, and
// without blocking, so a FIFO or device in a file's place cannot stall the UI
// thread; sizes are capped before anything is decoded.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

namespace talvo::app {

inline constexpr size_t kMaxTextFileBytes = 16u << 20;
inline constexpr size_t kMaxImageFileBytes = 32u << 20;
inline constexpr int kMaxImageSide = 8192;
// Deeper XML is refused: Qt's readers recurse per element.
inline constexpr int kMaxXmlDepth = 64;

// The bytes of a regular file of at most maxBytes; nothing for other files,
// larger files and files that cannot be read.
std::optional<QByteArray> ReadRegularFile(const QString& path, size_t maxBytes = kMaxTextFileBytes);

// Whether path names a regular file (following symbolic links).
bool IsRegularFile(const QString& path);

// The image a regular file of at most kMaxImageFileBytes holds; a null image
// for other files, for images whose header gives a side above kMaxImageSide
// (checked before decoding) and for bytes that do not decode.
QImage ReadImageFile(const QString& path);

// "dir/name@2x.ext" for "dir/name.ext": the image for device pixel ratios
// above 1.
QString HiDpiVariant(const QString& path);

// A url( of a style sheet, found as Qt's scanner finds it however it is
// spelt (escapes, quotes, comments), with the name Qt's parser takes from it.
// Offsets are into the sheet.
struct StyleSheetUrl {
  qsizetype begin = 0;  // where "url(" starts
  qsizetype open = 0;   // just after its "("
  qsizetype end = 0;    // just after its ")", when read
  QString name;         // when read
  // False where Qt takes no name (the url( does not close) and where it
  // holds another url(, whose name would change the outer one.
  bool read = false;
};

// Every url( of the sheet, in order; none inside one that is read.
std::vector<StyleSheetUrl> StyleSheetUrls(const QString& sheet);

// The style sheet with each url(...) that names anything but a Qt resource
// (":…") or a regular file inside skinFolder replaced by none, and each that
// is not read renamed none(, with a debug line: Qt opens those files itself,
// on the UI thread. "skin:" names are looked up in skinFolder, other names
// where Qt looks for them. A sheet Qt would take for a file's name (from
// "file:///") gets a space before it. The result is its own result.
QString WithSafeImageUrls(const QString& sheet, const QString& skinFolder);

// The style sheet file of the skin folder, checked as above; nothing when it
// is not a readable regular file.
std::optional<QString> ReadStyleSheet(const QString& file, const QString& skinFolder);

}  // namespace talvo::app
