// talvo-automate: sends requests to a running Talvo's automation socket and
// prints the replies, for scripts and demos.
//
//   talvo-automate [--timeout MS] SOCKET '{"cmd":"ready"}' '{"cmd":"screenshot","path":"shot.png"}'
//
// Exit status: 0 when every reply had "ok":true, 1 when one did not, 2 on a
// usage error or when the socket could not be reached.
#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>

#include "tools/automate/automation_client.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments().mid(1);
  int timeoutMs = 10000;
  if (args.size() >= 2 && args[0] == QLatin1String("--timeout")) {
    bool ok = false;
    timeoutMs = args[1].toInt(&ok);
    if (!ok || timeoutMs <= 0) {
      std::fputs("talvo-automate: --timeout needs a number of milliseconds\n", stderr);
      return 2;
    }
    args = args.mid(2);
  }
  if (args.size() < 2) {
    std::fputs("usage: talvo-automate [--timeout MS] SOCKET REQUEST...\n", stderr);
    return 2;
  }
  talvo::tools::AutomationClient client;
  if (!client.Connect(args[0], timeoutMs)) {
    std::fprintf(stderr, "talvo-automate: cannot connect to %s\n", qPrintable(args[0]));
    return 2;
  }
  int status = 0;
  for (qsizetype i = 1; i < args.size(); ++i) {
    const auto reply = client.RequestText(args[i].toUtf8(), timeoutMs);
    if (!reply) {
      std::fprintf(stderr, "talvo-automate: no reply to %s\n", qPrintable(args[i]));
      return 2;
    }
    std::printf("%s\n", QJsonDocument(*reply).toJson(QJsonDocument::Compact).constData());
    if (!reply->value(QLatin1String("ok")).toBool()) status = 1;
  }
  return status;
}
