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

// The style sheet with each url(...) that names anything but a regular file
// replaced by none, with a debug line: Qt opens those files itself, on the UI
// thread. "skin:" names are looked up in skinFolder, other names where Qt
// looks for them; Qt resources (":…", "qrc:…") are kept.
QString WithSafeImageUrls(const QString& sheet, const QString& skinFolder);

// The style sheet file of the skin folder, checked as above; nothing when it
// is not a readable regular file.
std::optional<QString> ReadStyleSheet(const QString& file, const QString& skinFolder);

}  // namespace talvo::app
