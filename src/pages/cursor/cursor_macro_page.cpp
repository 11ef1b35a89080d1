#include "pages/cursor/cursor_macro_page.h"

#include <array>
#include <string>

#include "macros/cursor_macros.h"
#include "pages/edit_value.h"
#include "pages/message_text.h"
#include "platform/ascii.h"
#include "platform/debug.h"

namespace talvo::macros::pages {
namespace {

constexpr std::string_view kCursorFileFilter = "Cursor macro files (*.cur)";

constexpr std::string_view kDelayEdit = "ms_cursor_delay_eidt";
constexpr std::string_view kXEdit = "ms_cursor_x_eidt";
constexpr std::string_view kYEdit = "ms_cursor_y_eidt";
constexpr std::string_view kXCheck = "ms_cursor_x_check";
constexpr std::string_view kYCheck = "ms_cursor_y_check";

constexpr long long kMaxDelay = 65535;
constexpr long long kMaxDistance = 255;

std::string GunOption(int slot) { return "ms_gun_op_" + std::to_string(slot); }
std::string BulletOption(int bullet) { return "ms_bullet_op_" + std::to_string(bullet); }

std::string_view HorizontalText(bool left) { return left ? "mouse_move_to_left_text" : "mouse_move_to_right_text"; }
std::string_view VerticalText(bool up) { return up ? "mouse_move_to_up_text" : "mouse_move_to_down_text"; }

}  // namespace

CursorMacroPage::CursorMacroPage(toolkit::Window& window, std::filesystem::path folder, std::filesystem::path programFolder,
                                 Upload upload)
    : window_(window),
      folder_(std::move(folder)),
      programFolder_(std::move(programFolder)),
      upload_(std::move(upload)) {}

std::span<const ::talvo::pages::ControlBinding<CursorMacroPage>> CursorMacroPage::Bindings() {
  using namespace ::talvo::pages;
  using P = CursorMacroPage;
  static constexpr std::array<ControlBinding<P>, 18> kBindings{{
      // Both device pages show the cursor macros; the one brought up shows
      // them anew.
      {Exact("selectchanged", "ms_cursor_Op_tab").LeavingPage(), &P::OnTab},
      {Exact("selectchanged", "kb_cursor_Op_tab").LeavingPage(), &P::OnTab},
      {Family("selectchanged", "ms_gun_op_"), &P::OnGunOption},
      {Family("selectchanged", "ms_bullet_op_"), &P::OnBulletOption},
      {Exact("selectchanged", kXCheck), &P::OnEdit},
      {Exact("selectchanged", kYCheck), &P::OnEdit},
      {Exact("textchanged", "ms_cursor_x_eidt"), &P::OnEdit},
      {Exact("textchanged", "ms_cursor_y_eidt"), &P::OnEdit},
      {Exact("textchanged", "ms_cursor_delay_eidt"), &P::OnEdit},
      {Family("click", "ms_bullet_op_"), &P::OnBulletButton},
      {Exact("click", "bullet_selected_prev"), &P::OnPrevious},
      {Exact("click", "bullet_selected_next"), &P::OnNext},
      {Exact("click", "ms_bulletdate_save_btn"), &P::OnSave},
      {Exact("click", "ms_bulletdate_reset_btn"), &P::OnReset},
      {Exact("click", "ms_bulletdate_import_btn"), &P::OnImport},
      {Exact("click", "ms_bulletdate_export_btn"), &P::OnExport},
      {Exact("click", "improt_gun_button"), &P::OnImportGun},
      // The mouse's device profile reset also resets every cursor macro.
      {Exact("click", "ms_pro_device_reset_btn"), &P::OnResetAll},
  }};
  return kBindings;
}

void CursorMacroPage::OnTab(const toolkit::Notification& n, int) {
  if (n.wParam != 0) SelectGun(slot_);
}

void CursorMacroPage::OnGunOption(const toolkit::Notification& n, int slot) {
  if (n.wParam != 0) SelectGun(slot);
}

void CursorMacroPage::OnBulletOption(const toolkit::Notification& n, int bullet) {
  if (n.wParam != 0) SelectBullet(bullet);
}

void CursorMacroPage::OnPrevious(const toolkit::Notification&, int) {
  if (bullet_ > 0) SelectBullet(bullet_ - 1);
}

void CursorMacroPage::OnNext(const toolkit::Notification&, int) {
  if (bullet_ < kCursorBullets - 1) SelectBullet(bullet_ + 1);
}

void CursorMacroPage::Reload() { SelectGun(0); }

std::optional<std::vector<uint8_t>> CursorMacroPage::PlanUpload() {
  CursorImagePlan plan = PlanCursorImage(folder_);
  if (plan.status == CursorImagePlan::kTooManySteps) window_.GetToolkit().ShowMessage(&window_, "message_text_29");
  if (plan.status != CursorImagePlan::kReady) return std::nullopt;
  return std::move(plan.image);
}

void CursorMacroPage::SelectGun(int slot) {
  if (slot < 0 || slot >= kCursorSlots) return;
  slot_ = slot;
  if (toolkit::Control* option = Find(GunOption(slot))) option->SetCheck(true, false);
  SelectBullet(0);
}

void CursorMacroPage::SelectBullet(int bullet) {
  if (bullet < 0 || bullet >= kCursorBullets) return;
  bullet_ = bullet;
  if (toolkit::Control* option = Find(BulletOption(bullet))) option->SetCheck(true, false);
  if (toolkit::Control* label = Find("bullet_select_index")) label->SetText(std::to_string(bullet + 1));
  ShowBullet();
}

// A bullet that cannot be read as a pause and two moves is shown with the
// editor disabled, so nothing the user does rewrites it.
void CursorMacroPage::ShowBullet() {
  const std::optional<Bullet> bullet = LoadBullet(folder_, slot_, bullet_);
  if (toolkit::Control* layout = Find("cursor_edit_layout")) layout->SetEnabled(bullet.has_value());
  if (!bullet) return;
  const auto show = [this](std::string_view name, int value) {
    if (toolkit::Control* edit = Find(name)) edit->SetText(std::to_string(value));
  };
  show(kDelayEdit, bullet->delay);
  show(kXEdit, bullet->x);
  show(kYEdit, bullet->y);
  if (toolkit::Control* check = Find(kXCheck)) {
    check->SetCheck(bullet->left, false);
    check->SetTextId(std::string(HorizontalText(bullet->left)));
  }
  if (toolkit::Control* check = Find(kYCheck)) {
    check->SetCheck(bullet->up, false);
    check->SetTextId(std::string(VerticalText(bullet->up)));
  }
}

void CursorMacroPage::StoreEdits() {
  const toolkit::Control* x = Find(kXCheck);
  const toolkit::Control* y = Find(kYCheck);
  const auto shown = [this](std::string_view name, long long max) {
    return ::talvo::pages::ShownNumber(Find(name), 0, max);
  };
  const BulletEdit edit{shown(kDelayEdit, kMaxDelay), shown(kXEdit, kMaxDistance), x && x->IsSelected(),
                        shown(kYEdit, kMaxDistance), y && y->IsSelected()};
  const std::optional<Bullet> stored = StoreBullet(folder_, slot_, bullet_, edit);
  if (!stored) {
    debug::Line("cursor macro: bullet not stored");
    return;
  }
  if (toolkit::Control* check = Find(kXCheck)) check->SetTextId(std::string(HorizontalText(stored->left)));
  if (toolkit::Control* check = Find(kYCheck)) check->SetTextId(std::string(VerticalText(stored->up)));
}

void CursorMacroPage::Save() {
  if (std::optional<std::vector<uint8_t>> image = PlanUpload(); image && upload_) upload_(std::move(*image));
}

void CursorMacroPage::ResetSlot() {
  if (!macros::ResetSlot(folder_, programFolder_, slot_)) debug::Line("cursor macro: factory slot not copied");
  SelectBullet(0);
}

// The mouse's restore-defaults also takes the cursor macros back to the
// factory patterns: all four slot files are replaced by their factory copies
// and the editor starts again at gun 0, bullet 0. The mouse receives them
// with the next store, like any other edit.
void CursorMacroPage::ResetAllSlots() {
  for (int slot = 0; slot < kCursorSlots; ++slot)
    if (!macros::ResetSlot(folder_, programFolder_, slot)) debug::Line("cursor macro: factory slot not copied");
  Reload();
}

void CursorMacroPage::Import() {
  toolkit::Toolkit& toolkit = window_.GetToolkit();
  const std::optional<std::string> path = toolkit.OpenFile(&window_, std::string(kCursorFileFilter));
  if (!path) return;
  const SlotImport result = ImportSlot(folder_, slot_, *path);
  if (result == SlotImport::kTooManySteps) toolkit.ShowMessage(&window_, "message_text_18");
  if (result == SlotImport::kImported) ShowBullet();
}

void CursorMacroPage::Export() {
  const std::optional<std::string> path = window_.GetToolkit().SaveFile(&window_, std::string(kCursorFileFilter),
                                                                        "name_" + std::to_string(slot_ + 1) + ".cur");
  if (path && !ExportSlot(folder_, slot_, *path))
    ::talvo::pages::ShowMessageWithText(window_, "message_text_28", *path);
}

// The key page's cursor-macro function: the chosen file becomes the gun its
// file names, and the function's gun choice follows it (notifying, so the
// key page applies it). A file naming no gun 1-4 changes nothing.
void CursorMacroPage::ImportGun() {
  SelectGun(0);
  toolkit::Toolkit& toolkit = window_.GetToolkit();
  const std::optional<std::string> path = toolkit.OpenFile(&window_, std::string(kCursorFileFilter));
  if (!path) return;
  const GunImport imported = macros::ImportGun(folder_, *path);
  if (imported.status == SlotImport::kTooManySteps) toolkit.ShowMessage(&window_, "message_text_18");
  if (imported.status != SlotImport::kImported) {
    debug::Line("cursor macro: gun file not imported");
    return;
  }
  if (toolkit::Control* edit = Find("ms_key_fct_edit_30")) edit->SetText(std::filesystem::path(*path).filename().string());
  if (toolkit::Control* combo = Find("ms_key_fct_combo_25")) combo->SelectItem(imported.slot);
  ShowBullet();
}

}  // namespace talvo::macros::pages
