// What the whole-program benchmarks share: a private set of user folders for
// one talvo process, and the automation requests they send.
#pragma once

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QString>
#include <utility>

namespace talvo::bench {

// The environment of a talvo process whose user folders all lie under root,
// on the offscreen platform.
inline QProcessEnvironment Isolated(const QString& root) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"TALVO_TRAY", "TALVO_AUTOMATION", "TALVO_DEBUG"}) env.remove(QLatin1String(name));
  const std::pair<const char*, const char*> folders[] = {{"HOME", "home"},
                                                         {"XDG_RUNTIME_DIR", "run"},
                                                         {"XDG_CONFIG_HOME", "config"},
                                                         {"XDG_CONFIG_DIRS", "system"},
                                                         {"XDG_DATA_HOME", "data"}};
  for (const auto& [name, folder] : folders) {
    const QString path = root + QLatin1Char('/') + QLatin1String(folder);
    QDir().mkpath(path);
    env.insert(QLatin1String(name), path);
  }
  // The single-instance socket is only trusted in a private runtime folder.
  QFile::setPermissions(root + QStringLiteral("/run"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  return env;
}

inline QJsonObject Cmd(const char* cmd) { return QJsonObject{{QStringLiteral("cmd"), QLatin1String(cmd)}}; }

// A `sim` request on the simulated mouse.
inline QJsonObject SimOp(const char* op) {
  return QJsonObject{{QStringLiteral("cmd"), QStringLiteral("sim")}, {QStringLiteral("op"), QLatin1String(op)},
                     {QStringLiteral("device"), QStringLiteral("mouse")}};
}

}  // namespace talvo::bench
