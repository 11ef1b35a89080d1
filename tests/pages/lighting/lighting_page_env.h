// The main window's layout with its device pages loaded offscreen, private
// profile folders with one saved lighting and device profile per device, the
// records, effect states and push flags a main window owns, and a simulated
// mouse (keyboard and mousepad stay absent).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../../profiles/profile_test_env.h"
#include "app/controls/custom_controls.h"
#include "app/shell/page_layouts.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "device/device_link.h"
#include "device/device_report.h"
#include "lighting/effect_engine.h"
#include "lighting/mouse_effects.h"
#include "pages/lighting/keyboard_lighting_page.h"
#include "pages/lighting/mode_states.h"
#include "pages/lighting/mouse_lighting_page.h"
#include "pages/lighting/mousepad_lighting_page.h"
#include "platform/folders.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_index.h"
#include "sim/simulated_backend.h"

namespace talvo::lighting::pages::test {

using profiles::test::kLightInConfig;

// Builds the device pages into the main layout as the main window does.
class PagesHandler final : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
  toolkit::CreatedControl CreateControl(std::string_view element) override { return app::PageControl(element); }
};

class LightingPageTest : public profiles::test::ProfileFolders {
 protected:
  void SetUp() override {
    ProfileFolders::SetUp();
    profiles::test::ChooseSavedProfiles(
        {device::Peripheral::Keyboard, device::Peripheral::Mouse, device::Peripheral::Mousepad});
    backend.SetLatency(std::chrono::microseconds(0));
    backend.Plug(sim::DeviceKind::Mouse);
    mouseLink.SetCommandIdentity(device::kMouseProductId);
    ASSERT_TRUE(mouseLink.Attach());
    app::RegisterCustomControls(toolkit);
    ASSERT_TRUE(window.Create("XML_MAIN"));
    live = std::make_unique<profiles::LiveData>();
    saver = std::make_unique<profiles::ProfileSaver>(*live);
    keyboard = std::make_unique<KeyboardLightingPage>(window, *live, *saver, kbEffect, pushFlags,
                                                      keyboardLink);
    mouse = std::make_unique<MouseLightingPage>(window, *live, *saver, msEffect, pushFlags, mouseLink);
    mousepad = std::make_unique<MousepadLightingPage>(window, *live, *saver, mpEffect, pushFlags, mousepadLink, flashTrigger);
    backend.Device(sim::DeviceKind::Mouse).ClearRequests();
  }
  void TearDown() override {
    keyboard.reset();
    mouse.reset();
    mousepad.reset();
    saver.reset();
    ProfileFolders::TearDown();
  }

  // A saved profile body, once the changes marked so far are written.
  std::vector<uint8_t> SavedBody(device::Peripheral p, const char* extension) {
    saver->Flush();
    return profiles::test::SavedBody(p, extension);
  }

  toolkit::Control* Find(const std::string& name) {
    toolkit::Control* c = window.FindControl(name);
    EXPECT_NE(c, nullptr) << "no control " << name;
    return c;
  }
  bool Visible(const std::string& name) {
    toolkit::Control* c = Find(name);
    return c && c->IsVisible();
  }
  bool Selected(const std::string& name) {
    toolkit::Control* c = Find(name);
    return c && c->IsSelected();
  }
  std::string Text(const std::string& name) {
    toolkit::Control* c = Find(name);
    return c ? c->Text() : "<missing>";
  }

  // A notification as the router delivers it to the lighting pages.
  void Notify(const std::string& type, const std::string& sender, int64_t wParam = 0) {
    toolkit::Notification n;
    n.type = type;
    n.sender = sender;
    n.wParam = wParam;
    n.control = window.FindControl(sender);
    ::talvo::pages::Dispatch(*keyboard, KeyboardLightingPage::Bindings(), n);
    ::talvo::pages::Dispatch(*mouse, MouseLightingPage::Bindings(), n);
    ::talvo::pages::Dispatch(*mousepad, MousepadLightingPage::Bindings(), n);
  }
  // The user choosing an item, ticking a box, typing into an edit.
  void Select(const std::string& combo, int item) {
    if (toolkit::Control* c = Find(combo)) c->SelectItem(item, false);
    Notify("itemselect", combo, item);
  }
  void Tick(const std::string& check, bool on) {
    if (toolkit::Control* c = Find(check)) c->SetCheck(on, false);
    Notify("selectchanged", check, on ? 1 : 0);
  }
  void Type(const std::string& edit, const std::string& text) {
    if (toolkit::Control* c = Find(edit)) c->SetText(text);
    Notify("textchanged", edit);
  }


  // Takes every push flag: what was marked since the last call.
  struct Pushed {
    bool keyboard, mouse, mousepad;
  };
  Pushed TakePushes() {
    return {pushFlags.Take(device::Peripheral::Keyboard), pushFlags.Take(device::Peripheral::Mouse),
            pushFlags.Take(device::Peripheral::Mousepad)};
  }

  sim::SimulatedBackend backend;
  device::CDeviceLink keyboardLink{backend};
  device::CDeviceLink mouseLink{backend};
  device::CDeviceLink mousepadLink{backend};
  PagesHandler handler;
  app::QtToolkit toolkit{TALVO_SKIN_DIR};
  app::QtWindow window{toolkit, handler};
  std::unique_ptr<profiles::LiveData> live;
  std::unique_ptr<profiles::ProfileSaver> saver;
  KbEffectState kbEffect;
  MouseEffectState msEffect;
  MousepadEffectState mpEffect;
  LightPushFlags pushFlags;
  std::atomic<uint32_t> flashTrigger{0};
  std::unique_ptr<KeyboardLightingPage> keyboard;
  std::unique_ptr<MouseLightingPage> mouse;
  std::unique_ptr<MousepadLightingPage> mousepad;
};

}  // namespace talvo::lighting::pages::test
