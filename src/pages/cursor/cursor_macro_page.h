// The mouse's cursor-macro editor: four guns, each of 30 bullets whose pause
// and pointer moves are edited one bullet at a time and written to the gun's
// slot file at every change; the slot's reset, import and export; storing
// the slots on the mouse; and importing a gun for the key page's
// cursor-macro function. Everything runs on the UI thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"

namespace talvo::macros::pages {

class CursorMacroPage {
 public:
  // Asks for the cursor image to be sent to the mouse.
  using Upload = std::function<void(std::vector<uint8_t> image)>;

  CursorMacroPage(toolkit::Window& window, std::filesystem::path folder, std::filesystem::path programFolder,
                  Upload upload);

  // The cursor macro controls the page handles.
  static std::span<const ::talvo::pages::ControlBinding<CursorMacroPage>> Bindings();

  // Selects gun 0 and its bullet 0, after the slot files changed underneath
  // (read from the mouse) and when the page is built.
  void Reload();

  // The cursor image of the slot files, or nothing to send; a slot too long
  // for the mouse is told ("message_text_29").
  std::optional<std::vector<uint8_t>> PlanUpload();

  int Gun() const { return slot_; }
  int CurrentBullet() const { return bullet_; }

 private:
  toolkit::Control* Find(std::string_view name) const { return window_.FindControl(name); }
  // Handlers of the bound controls; a numbered option or button's row
  // hands its number.
  void OnTab(const toolkit::Notification& n, int);
  void OnGunOption(const toolkit::Notification& n, int slot);
  void OnBulletOption(const toolkit::Notification& n, int bullet);
  void OnBulletButton(const toolkit::Notification&, int bullet) { SelectBullet(bullet); }
  void OnPrevious(const toolkit::Notification&, int);
  void OnNext(const toolkit::Notification&, int);
  void OnEdit(const toolkit::Notification&, int) { StoreEdits(); }
  void OnSave(const toolkit::Notification&, int) { Save(); }
  void OnReset(const toolkit::Notification&, int) { ResetSlot(); }
  void OnResetAll(const toolkit::Notification&, int) { ResetAllSlots(); }
  void OnImport(const toolkit::Notification&, int) { Import(); }
  void OnExport(const toolkit::Notification&, int) { Export(); }
  void OnImportGun(const toolkit::Notification&, int) { ImportGun(); }

  void SelectGun(int slot);
  void SelectBullet(int bullet);
  void ShowBullet();
  void StoreEdits();
  void Save();
  void ResetSlot();
  void ResetAllSlots();
  void Import();
  void Export();
  void ImportGun();

  toolkit::Window& window_;
  std::filesystem::path folder_;
  std::filesystem::path programFolder_;
  Upload upload_;
  int slot_ = 0;
  int bullet_ = 0;
};

}  // namespace talvo::macros::pages
