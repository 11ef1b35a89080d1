// What a layout file names, read without building it: the widget names and
// the element classes it uses. A page not built yet is built when a control
// it holds is looked for; this says which page holds it.
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <optional>

namespace talvo::app {

struct LayoutNames {
  QSet<QString> widgets;  // the "name" of every <widget>
  QSet<QString> classes;  // the "class" of every <widget>
};

// Nothing when the bytes are not well-formed XML or nest deeper than
// kMaxXmlDepth, as a layout that would not build.
std::optional<LayoutNames> ReadLayoutNames(const QByteArray& bytes);

}  // namespace talvo::app
