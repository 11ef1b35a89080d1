// The main window's rooms for other programs: the page actions that carry
// out their requests through the pages' own setters, the session bus service and the
// lighting SDK server.
#include <QDBusConnection>

#include "app/shell/main_window.h"
#include "profiles/main_settings.h"

namespace talvo::app {

void CMainWnd::CreateRemoteRooms() {
  pageActions_ = std::make_unique<pages::remote::PageActions>(pages::remote::PageActions::Setup{
      .lighting = {&keyboard_.LightingPage(), &mouse_.LightingPage(), &mousepad_.LightingPage()},
      .performance = mouse_.PerformancePage(),
      .profiles = *profilePage_,
      .macros = *macroPages_,
      .selectOnboard = [this](device::Peripheral p, int index) { Room(p).ChooseOnboard(index); },
      .connected = [this](device::Peripheral p) { return Room(p).Connected(); }});
  if (options_.sessionBus) {
    busService_ = std::make_unique<TalvoBusService>(*pageActions_);
    busService_->Register(QDBusConnection::sessionBus());
  }
  sdkDevices_ = std::make_unique<pages::remote::SdkDevices>(pages::remote::SdkDevices::Setup{
      .actions = *pageActions_,
      .direct = [this](device::Peripheral p) -> lighting::DirectColours& { return Room(p).Direct(); },
      .endSync = [this](device::Peripheral p) { Room(p).Link().syncActive.store(0); },
      .keyName = [this](size_t n) {
        const toolkit::Control* key = window_.FindControl("kb_key_" + std::to_string(n));
        const std::string text = key ? key->Text() : std::string();
        return text.empty() ? "Key " + std::to_string(n + 1) : text;
      }});
  sdkServer_ = std::make_unique<SdkServer>(*sdkDevices_);
  connect(this, &CMainWnd::devicesChanged, sdkServer_.get(), &SdkServer::DevicesChanged);
  const profiles::SdkServerSettings settings = profiles::StoredSdkServer();
  if (options_.sdkServer || settings.enabled)
    sdkServer_->Start(QString::fromStdString(settings.address), options_.sdkPort.value_or(settings.port));
}

uint16_t CMainWnd::SdkServerPort() const { return sdkServer_ ? sdkServer_->Port() : 0; }

void CMainWnd::ToggleSdkServer() {
  if (!sdkServer_) return;
  if (sdkServer_->Running()) {
    sdkServer_->Stop();
    profiles::StoreSdkServerEnabled(false);
    return;
  }
  const profiles::SdkServerSettings settings = profiles::StoredSdkServer();
  if (sdkServer_->Start(QString::fromStdString(settings.address), options_.sdkPort.value_or(settings.port)))
    profiles::StoreSdkServerEnabled(true);
}

}  // namespace talvo::app
