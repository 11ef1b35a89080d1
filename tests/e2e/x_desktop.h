// A private X desktop for end-to-end tests and benches: an X server, the
// openbox window manager and the clients started on it, all ended with the
// object.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>
#include <vector>

namespace talvo::e2e {

class Desktop {
 public:
  // What went wrong, or nothing.
  QString Start() {
    for (const char* program : {"Xvfb", "openbox", "xmessage", "xdotool", "xprop"}) {
      if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
        return QLatin1String(program) + QStringLiteral(" is not installed (scripts/setup installs it)");
    }
    // -displayfd 1: the display's number arrives on its standard output.
    Spawn(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    if (!processes_.back()->waitForReadyRead(10000)) return QStringLiteral("Xvfb did not start");
    display_ = QLatin1Char(':') + QString::fromLatin1(processes_.back()->readLine().trimmed());
    Spawn(QStringLiteral("openbox"), {});
    for (int i = 0; i < 200; ++i) {
      if (Run(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id")) return {};
      QThread::msleep(50);
    }
    return QStringLiteral("openbox did not start");
  }

  // A client with a window titled `title`; `argv0` replaces its program name.
  void StartClient(const QString& program, const QString& title, const QString& argv0 = {},
                   const QStringList& variables = {}) {
    const QString line = QStringLiteral("exec -a \"$1\" \"$0\" -title \"$2\" \"$2\"");
    Spawn(QStringLiteral("bash"), {"-c", line, program, argv0.isEmpty() ? program : argv0, title}, variables);
  }

  // The window titled `title`, waiting for it to be mapped; empty when none.
  QString Window(const QString& title) {
    return QString::fromLatin1(
        Run(QStringLiteral("xdotool"), {"search", "--sync", "--name", "^" + title + "$"}).split('\n').value(0));
  }

  // Asks the window manager to activate the window, as a click on it would;
  // with `wait`, until it has become the active one.
  bool Activate(const QString& window, bool wait = true) {
    if (window.isEmpty()) return false;
    Run(QStringLiteral("xdotool"), wait ? QStringList{"windowactivate", "--sync", window} : QStringList{"windowactivate", window});
    return !wait || Run(QStringLiteral("xprop"), {"-root", "_NET_ACTIVE_WINDOW"}).contains(
                        QByteArray::number(window.toULong(), 16));
  }

  // Talvo's environment on this desktop, as an X session.
  QProcessEnvironment Environment(QProcessEnvironment env) const {
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP"}) env.remove(QLatin1String(name));
    env.insert(QStringLiteral("DISPLAY"), display_);
    return env;
  }

  ~Desktop() {
    // Clients first, the server last.
    for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
      (*it)->terminate();
      if (!(*it)->waitForFinished(3000)) (*it)->kill();
      (*it)->waitForFinished(3000);
    }
  }

 private:
  QProcessEnvironment ProcessEnvironment(const QStringList& variables) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!display_.isEmpty()) env.insert(QStringLiteral("DISPLAY"), display_);
    for (const QString& variable : variables) env.insert(variable.section('=', 0, 0), variable.section('=', 1));
    return env;
  }
  void Spawn(const QString& program, const QStringList& args, const QStringList& variables = {}) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(ProcessEnvironment(variables));
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(program, args);
    process->waitForStarted(5000);
    processes_.push_back(std::move(process));
  }
  QByteArray Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessEnvironment(ProcessEnvironment({}));
    process.start(program, args);
    process.waitForFinished(10000);
    return process.readAllStandardOutput();
  }

  QString display_;
  std::vector<std::unique_ptr<QProcess>> processes_;
};

}  // namespace talvo::e2e
