// The session bus service of a running Talvo: org.talvo.Talvo1 at
// /org/talvo/Talvo1, for talvoctl and other scripts. Each method is the
// same action on the page (see PageActions); refusals come back as the
// errors org.talvo.Talvo1.Error.InvalidArgument and .Failed with the reason.
// Any program of the user may call: an argument longer than its kind ever
// is gets refused before anything looks at it, and no reply quotes more
// than the start of an argument.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "app/toolkit/qt/language.h"
#include "pages/remote/page_actions.h"

namespace talvo::app {

inline constexpr const char* kBusServiceName = "org.talvo.Talvo1";
inline constexpr const char* kBusObjectPath = "/org/talvo/Talvo1";

class TalvoBusService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.talvo.Talvo1")

 public:
  // `actions` must outlive the service.
  explicit TalvoBusService(pages::remote::PageActions& actions, QObject* parent = nullptr);
  ~TalvoBusService() override;

  // Offers the service on the bus; false (with a log line) without a bus or
  // when another program holds the name.
  bool Register(QDBusConnection bus);

 public Q_SLOTS:
  // The connected devices, their lighting, onboard profile and chosen
  // profiles, and the mouse's DPI stages, as JSON text.
  QString Status();
  void SelectProfile(const QString& device, const QString& kind, const QString& name);
  void SelectOnboard(const QString& device, uint number);
  // brightness and speed -1, colour "" leave them as they are.
  void SetLighting(const QString& device, const QString& mode, int brightness, int speed, const QString& colour);
  void SetDpi(uint stage, uint value);
  void Store(const QString& device);

 private:
  // The argument as UTF-8 when at most maxBytes long; otherwise replies the
  // error, `what` naming the argument.
  std::optional<std::string> Argument(const QString& text, size_t maxBytes, const char* what);
  // The device a request names; replies the error when it names none.
  std::optional<device::Peripheral> DeviceOf(const QString& name);
  // From the English language file, read at the first mode name the
  // window's own language does not know.
  std::optional<std::string> EnglishText(std::string_view id);
  // Replies a refusal as the call's error.
  void Answer(const pages::remote::Outcome& outcome);
  void Refuse(const QString& errorName, const QString& message);

  pages::remote::PageActions& actions_;
  std::optional<LanguageTable> english_;
  QDBusConnection bus_{QString()};
  bool registered_ = false;
};

}  // namespace talvo::app
