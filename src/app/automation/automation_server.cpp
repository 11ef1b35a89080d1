#include "app/automation/automation_server.h"

#include <sys/stat.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFocusEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLayout>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/automation/automation_host.h"
#include "app/automation/scripted_dialogs.h"
#include "app/toolkit/qt/colour_palette.h"
#include "app/toolkit/qt/qt_control.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "sim/simulated_backend.h"

namespace talvo::app {
namespace {

QJsonObject Ok() { return {{"ok", true}}; }
QJsonObject Error(const char* reason) { return {{"ok", false}, {"error", reason}}; }

QString Colour(uint32_t argb) { return QString::asprintf("%08x", argb); }
QString Str(const std::string& s) { return QString::fromStdString(s); }

bool IsItemControl(QWidget* w) { return qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w); }

QJsonObject Describe(const QtControl& c) {
  QWidget* w = c.Widget();
  QJsonObject o = Ok();
  o["exists"] = true;
  o["class"] = Str(c.ClassName());
  o["visible"] = c.IsVisibleInWindow();
  o["enabled"] = c.IsEnabled();
  o["text"] = Str(c.Text());
  if (const std::string id = c.TextId(); !id.empty()) o["text_id"] = Str(id);
  o["tooltip"] = Str(c.ToolTip());
  o["bkcolor"] = Colour(c.BkColor());
  o["bkimage"] = Str(c.BkImage());
  o["textcolor"] = Colour(c.TextColor());
  o["bordercolor"] = Colour(c.BorderColor());
  o["bordersize"] = c.BorderSize();
  o["user_data"] = Str(c.UserData());
  if (qobject_cast<QAbstractSlider*>(w) || qobject_cast<QProgressBar*>(w)) {
    o["value"] = c.Value();
    o["min"] = c.MinValue();
    o["max"] = c.MaxValue();
  }
  if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable()) o["checked"] = c.IsSelected();
  if (IsItemControl(w)) {
    o["index"] = c.CurrentIndex();
    o["count"] = c.Count();
    QJsonArray items;
    for (int i = 0; i < c.Count(); ++i) items.append(Str(c.ItemText(i)));
    o["items"] = items;
  }
  if (qobject_cast<QTabWidget*>(w) || qobject_cast<QStackedWidget*>(w)) o["page"] = c.CurrentPage();
  if (c.IsChangerColor() || w->property("changerColor").isValid()) {
    o["changer_colour"] = Colour(c.ChangerColor());
    o["changer_alpha"] = c.ChangerAlpha();
  }
  if (c.IsKeyButton()) {
    // Key buttons hold their light packed as page colours are (red | blue << 8
    // | green << 16); reported as opaque ARGB like every other colour here.
    o["light_colour"] = Colour(toolkit::ArgbOfPageColour(c.LightColour()));
    o["light_alpha"] = c.LightAlpha();
    o["light_on"] = c.IsLightOn();
    o["keyset_hidden"] = c.IsKeySetHidden();
  }
  return o;
}

// The focus widget of the window, whether or not the window is active.
bool HasFocus(QWidget* w) { return w->window()->focusWidget() == w; }

// Focus moves for real; an inactive window delivers no focus events, so
// there the control is told as the toolkit would tell it, and a hidden
// window can be driven too.
void MoveFocus(QWidget* w, bool gain) {
  if (HasFocus(w) == gain) return;
  const bool active = w->window()->isActiveWindow();
  if (gain)
    w->setFocus(Qt::OtherFocusReason);
  else
    w->clearFocus();
  if (active) return;
  QFocusEvent event(gain ? QEvent::FocusIn : QEvent::FocusOut, Qt::OtherFocusReason);
  QCoreApplication::sendEvent(w, &event);
}

}  // namespace

AutomationServer::AutomationServer(QtWindow& window, ScriptedDialogs& dialogs, AutomationHost* host,
                                   sim::SimulatedBackend* backend, QObject* parent)
    : QObject(parent), window_(window), dialogs_(dialogs), host_(host), backend_(backend),
      server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &AutomationServer::OnConnection);
}

AutomationServer::~AutomationServer() {
  // The sockets outlive this object's members as children of server_; they
  // must not report back into the destroyed client table.
  for (const auto& [socket, client] : clients_) socket->disconnect(this);
  server_->close();
}

bool AutomationServer::Listen(const QString& given) {
  // Qt puts a socket named by a relative path in the temporary folder; the
  // user means the current one.
  const QString path = QDir::current().absoluteFilePath(given);
  const QByteArray native = QFile::encodeName(path);
  struct stat st {};
  if (::lstat(native.constData(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      std::fprintf(stderr, "automation: %s exists and is not a socket\n", native.constData());
      return false;
    }
    // Left behind by a run that ended without closing it.
    QLocalServer::removeServer(path);
  }
  if (!server_->listen(path)) {
    std::fprintf(stderr, "automation: cannot listen at %s: %s\n", native.constData(),
                 server_->errorString().toLocal8Bit().constData());
    return false;
  }
  // Qt creates it for this user alone (0700); nothing needs it executable.
  if (::chmod(native.constData(), S_IRUSR | S_IWUSR) != 0) {
    std::fprintf(stderr, "automation: cannot restrict %s: %s\n", native.constData(), std::strerror(errno));
    server_->close();
    return false;
  }
  return true;
}

void AutomationServer::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    clients_[socket] = Client{};
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadable(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      clients_.erase(socket);
      socket->deleteLater();
    });
    if (socket->bytesAvailable() > 0) OnReadable(socket);
  }
}

void AutomationServer::OnReadable(QLocalSocket* socket) {
  const auto it = clients_.find(socket);
  if (it == clients_.end()) return;
  Client& c = it->second;
  const QByteArray data = socket->readAll();
  qsizetype start = 0;
  for (qsizetype nl; (nl = data.indexOf('\n', start)) >= 0; start = nl + 1) {
    if (c.discarding) {
      c.discarding = false;
      continue;
    }
    c.partial.append(data.constData() + start, nl - start);
    if (c.partial.endsWith('\r')) c.partial.chop(1);
    c.lines.emplace_back(std::exchange(c.partial, {}));
  }
  if (!c.discarding && start < data.size()) {
    c.partial.append(data.constData() + start, data.size() - start);
    if (c.partial.size() > kMaxRequestLine) {
      // Answered once, in its place; the rest of the line is dropped unread.
      c.partial.clear();
      c.discarding = true;
      c.lines.emplace_back(std::nullopt);
    }
  }
  Pump(socket);
}

void AutomationServer::Pump(QLocalSocket* socket) {
  for (;;) {
    const auto it = clients_.find(socket);
    if (it == clients_.end() || it->second.busy || it->second.lines.empty()) return;
    std::optional<QByteArray> line = std::move(it->second.lines.front());
    it->second.lines.pop_front();
    if (line && line->trimmed().isEmpty()) continue;
    it->second.busy = true;
    Answer(socket, line);
  }
}

void AutomationServer::Answer(QLocalSocket* socket, const std::optional<QByteArray>& line) {
  QPointer<AutomationServer> self(this);
  QPointer<QLocalSocket> guard(socket);
  auto deferred = std::make_shared<bool>(false);
  const Reply reply = [self, guard, deferred](QJsonObject o) {
    if (!self || !guard) return;
    guard->write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    guard->flush();
    const auto it = self->clients_.find(guard.data());
    if (it == self->clients_.end()) return;
    it->second.busy = false;
    // A reply given later resumes the requests that waited behind it.
    if (*deferred)
      QMetaObject::invokeMethod(
          self.data(), [self, guard] { if (self && guard) self->Pump(guard.data()); }, Qt::QueuedConnection);
  };
  const ParsedRequest parsed = line ? ParseRequest(*line) : ParsedRequest{false, "bad argument", {}};
  if (!parsed.ok) {
    reply(Error(parsed.error.c_str()));
    return;
  }
  Execute(parsed.request, reply);
  const auto it = clients_.find(socket);
  if (guard && it != clients_.end() && it->second.busy) *deferred = true;
}

void AutomationServer::Execute(const Request& r, const Reply& reply) {
  switch (r.command) {
    case Command::Click: case Command::Select: case Command::Check: case Command::SetValue:
    case Command::Type: case Command::Focus: case Command::Blur: case Command::Hover:
    case Command::PickColour: case Command::Get:
      reply(ExecuteControl(r));
      return;
    case Command::Messages: {
      QJsonArray list;
      for (const auto& m : dialogs_.TakeMessages())
        list.append(QJsonObject{{"text_id", Str(m.textId)}, {"text", Str(m.text)}});
      QJsonObject o = Ok();
      o["messages"] = list;
      reply(o);
      return;
    }
    case Command::Answers:
      dialogs_.QueueAnswers(r.values);
      reply(Ok());
      return;
    case Command::Dialogs:
      dialogs_.QueuePaths(r.paths);
      reply(Ok());
      return;
    case Command::Wait:
      QTimer::singleShot(r.ms, this, [reply] { reply(Ok()); });
      return;
    case Command::Screenshot:
      reply(Screenshot(Str(r.text)));
      return;
    case Command::Sim:
      reply(ExecuteSim(r));
      return;
    case Command::Ready: case Command::Key: case Command::MouseButton: case Command::Menu:
    case Command::Tray: case Command::Window: case Command::Foreground: case Command::System:
    case Command::Quit: {
      bool deferred = false;
      QJsonObject o = ExecuteHost(r, reply, deferred);
      if (!deferred) reply(o);
      return;
    }
  }
}

QJsonObject AutomationServer::ExecuteControl(const Request& r) {
  auto* control = dynamic_cast<QtControl*>(window_.FindControl(r.name));
  QWidget* w = control ? control->Widget() : nullptr;
  if (r.command == Command::Get) {
    if (!w) return QJsonObject{{"ok", true}, {"exists", false}};
    return Describe(*control);
  }
  if (!w) return Error("no such control");
  if (!control->IsVisibleInWindow()) return Error("not visible");
  if (!control->IsEnabled()) return Error("disabled");

  switch (r.command) {
    case Command::Click:
      if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->click();
      else
        window_.Raise("click", w);
      return Ok();
    case Command::Select:
      if (!IsItemControl(w) || r.index >= control->Count()) return Error("bad argument");
      control->SelectItem(r.index);
      return Ok();
    case Command::Check: {
      auto* b = qobject_cast<QAbstractButton*>(w);
      if (!b || !b->isCheckable()) return Error("bad argument");
      control->SetCheck(r.on);
      return Ok();
    }
    case Command::SetValue: {
      auto* s = qobject_cast<QAbstractSlider*>(w);
      if (!s) return Error("bad argument");
      if (!r.moving) {
        s->setValue(r.value);
        return Ok();
      }
      // A drag in progress; letting go is not part of it, so the release
      // that ends the drag stays quiet.
      s->setSliderDown(true);
      s->setValue(r.value);
      QtWindow::Mute mute(window_);
      s->setSliderDown(false);
      return Ok();
    }
    case Command::Type: {
      auto* e = qobject_cast<QLineEdit*>(w);
      if (!e) return Error("bad argument");
      {
        QtWindow::Mute mute(window_);
        e->setText(Str(r.text));
      }
      window_.Raise("textchanged", e);
      return Ok();
    }
    case Command::Focus: case Command::Blur:
      MoveFocus(w, r.command == Command::Focus);
      return Ok();
    case Command::Hover:
      if (r.on) {
        const QPointF centre = QRectF(w->rect()).center();
        QEnterEvent event(centre, w->mapTo(w->window(), centre), w->mapToGlobal(centre));
        QCoreApplication::sendEvent(w, &event);
      } else {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(w, &event);
      }
      return Ok();
    case Command::PickColour: {
      auto* p = qobject_cast<ColourPalette*>(w);
      if (!p) return Error("bad argument");
      p->Pick(r.argb);
      return Ok();
    }
    default:
      return Error("unknown command");
  }
}

QJsonObject AutomationServer::ExecuteSim(const Request& r) {
  if (!backend_) return Error("bad argument");
  sim::SimDevice& device = backend_->Device(r.device);
  switch (r.op) {
    case SimOp::Plug:
      backend_->Plug(r.device);
      return Ok();
    case SimOp::Unplug:
      backend_->Unplug(r.device);
      return Ok();
    case SimOp::Notify:
      return device.Notify(uint16_t(r.usage)) ? Ok() : Error("bad argument");
    case SimOp::Traffic: {
      QJsonArray list;
      for (const sim::LoggedRequest& q : device.Requests())
        list.append(QJsonObject{{"t_ms", qint64(q.tMs)}, {"hex", Str(sim::HexString(q.bytes))}});
      QJsonObject o = Ok();
      o["requests"] = list;
      return o;
    }
    case SimOp::Clear:
      device.ClearRequests();
      return Ok();
    case SimOp::Memory: {
      const std::vector<uint8_t> bytes = device.Memory(r.area);
      if (bytes.empty()) return Error("bad argument");
      QJsonObject o = Ok();
      o["hex"] = Str(sim::HexString(bytes));
      return o;
    }
    case SimOp::Poke:
      return device.Poke(r.area, size_t(r.offset), r.bytes) ? Ok() : Error("bad argument");
    case SimOp::Fault:
      device.InjectFault(r.fault, unsigned(r.count), unsigned(r.after));
      return Ok();
    case SimOp::DenyOpen:
      backend_->DenyOpen(r.device, r.on);
      return Ok();
  }
  return Error("bad argument");
}

QJsonObject AutomationServer::ExecuteHost(const Request& r, const Reply& reply, bool& deferred) {
  if (!host_) return Error("bad argument");
  switch (r.command) {
    case Command::Ready:
      deferred = true;
      host_->WhenReady([reply] { reply(Ok()); });
      return {};
    case Command::Key:
      return host_->Key(r.vk, r.down, r.extended) ? Ok() : Error("unknown command");
    case Command::MouseButton:
      return host_->MouseButton(r.message) ? Ok() : Error("unknown command");
    case Command::Menu:
      return host_->ChooseMenuItem(r.text) ? Ok() : Error("no such control");
    case Command::Tray:
      return host_->ClickTray(r.text == "left") ? Ok() : Error("not visible");
    case Command::Window: {
      const AutomationHost::WindowState s = host_->Window();
      QJsonObject o = Ok();
      o["visible"] = s.visible;
      o["minimized"] = s.minimized;
      o["maximized"] = s.maximized;
      o["active"] = s.active;
      o["title"] = Str(s.title);
      o["tray"] = s.tray;
      return o;
    }
    case Command::Foreground:
      host_->SetForeground(r.text);
      return Ok();
    case Command::System: {
      const AutomationHost::SystemState s = host_->System();
      QJsonObject o = Ok();
      o["pointer_speed"] = s.pointerSpeed ? QJsonValue(*s.pointerSpeed) : QJsonValue(QJsonValue::Null);
      o["wheel_lines"] = s.wheelLines ? QJsonValue(*s.wheelLines) : QJsonValue(QJsonValue::Null);
      o["language"] = s.language ? QJsonValue(Str(*s.language)) : QJsonValue(QJsonValue::Null);
      return o;
    }
    case Command::Quit: {
      // The reply goes out first: quitting may tear down this server.
      deferred = true;
      reply(Ok());
      QPointer<AutomationServer> self(this);
      QMetaObject::invokeMethod(
          this, [self] { if (self && self->host_) self->host_->Quit(); }, Qt::QueuedConnection);
      return {};
    }
    default:
      return Error("unknown command");
  }
}

QJsonObject AutomationServer::Screenshot(const QString& path) {
  QWidget* root = window_.Widget();
  if (!root) return Error("no such control");
  if (!root->isVisible()) {
    // A window never shown has not laid out its children yet.
    root->ensurePolished();
    if (QLayout* layout = root->layout()) layout->activate();
  }
  const QPixmap shot = root->grab();
  if (shot.isNull() || !shot.save(path, "PNG")) return Error("cannot write");
  return Ok();
}

}  // namespace talvo::app
