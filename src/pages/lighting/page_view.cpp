#include "pages/lighting/page_view.h"

#include <algorithm>
#include <cstdint>

namespace talvo::lighting::pages {

EditComponent ReadColourEdit(std::string_view text) {
  const int value = platform::LeadingNumber(text);
  if (value > 255) return {255, true};
  return {uint8_t(value), false};
}

Rgb WithComponent(Rgb c, int component, uint8_t value) {
  if (component == 0) c.red = value;
  if (component == 1) c.green = value;
  if (component == 2) c.blue = value;
  return c;
}

int SliderPosition(int64_t position) { return int(std::clamp<int64_t>(position, 0, kSliderMax)); }

void PageView::Show(std::string_view name, bool on) {
  if (toolkit::Control* c = Find(name)) c->SetVisible(on);
}

void PageView::ShowPart(std::string_view name, int8_t state) {
  if (state == 0 || state == 1) Show(name, state == 1);
}

void PageView::Check(std::string_view name, bool selected) {
  if (toolkit::Control* c = Find(name)) c->SetCheck(selected, false);
}

bool PageView::IsSelected(std::string_view name) const {
  const toolkit::Control* c = Find(name);
  return c && c->IsSelected();
}

void PageView::SetBk(std::string_view name, Rgb c) {
  if (toolkit::Control* control = Find(name)) control->SetBkColor(ArgbOf(c));
}

void PageView::SetPalette(std::string_view name, Rgb c) {
  if (toolkit::Control* control = Find(name)) control->SetSelectColor(ArgbOf(c));
}

void PageView::SetSlider(std::string_view name, int value) {
  if (toolkit::Control* c = Find(name)) c->SetValue(value);
}

void PageView::SelectItem(std::string_view name, int index) {
  if (toolkit::Control* c = Find(name)) c->SelectItem(index, false);
}

int PageView::CurrentIndex(std::string_view name) const {
  const toolkit::Control* c = Find(name);
  return c ? c->CurrentIndex() : -1;
}

void PageView::SetText(std::string_view name, const std::string& text) {
  if (toolkit::Control* c = Find(name)) c->SetText(text);
}

void PageView::SetTextId(std::string_view name, const std::string& id) {
  if (toolkit::Control* c = Find(name)) c->SetTextId(id);
}

void PageView::ShowComponents(std::string_view editPrefix, Rgb c) {
  const std::string prefix(editPrefix);
  SetText(prefix + "R", std::to_string(c.red));
  SetText(prefix + "G", std::to_string(c.green));
  SetText(prefix + "B", std::to_string(c.blue));
}

std::optional<uint8_t> PageView::TypedComponent(const toolkit::Notification& n) {
  const toolkit::Control* edit = n.control ? n.control : Find(n.sender);
  if (!edit) return std::nullopt;
  const EditComponent typed = ReadColourEdit(edit->Text());
  if (typed.cut) SetText(n.sender, "255");
  return typed.value;
}

}  // namespace talvo::lighting::pages
