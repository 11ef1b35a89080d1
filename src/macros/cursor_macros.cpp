#include "macros/cursor_macros.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "device/peripheral.h"
#include "keys/function_tables.h"
#include "macros/macro_action.h"
#include "macros/macro_files.h"
#include "macros/macro_image.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace talvo::macros {

namespace {

constexpr std::string_view kCursorCountSection = "CURSORCOUNT";
constexpr std::string_view kStepCountSection = "MACROACTIONCOUNT";
constexpr std::string_view kStepSection = "MACROACTION";
constexpr std::string_view kNumberSection = "MACRONUMBER";
constexpr std::string_view kCountKey = "count";
constexpr std::string_view kCodeKey = "CODE";

// A slot of 180 steps is a few kilobytes; anything far larger is not a slot
// file and is not read.
constexpr size_t kMaxSlotFileBytes = 1024 * 1024;

// Rows of the key-code table that hold keyboard keys; the rest are media keys.
constexpr size_t kKeyboardKeyRows = 104;

constexpr std::string_view kLeftLabel = MacroMouseEventTable[kMouseButtonEventRows].label;
constexpr std::string_view kRightLabel = MacroMouseEventTable[kMouseButtonEventRows + 1].label;
constexpr std::string_view kUpLabel = MacroMouseEventTable[kMouseButtonEventRows + 2].label;
constexpr std::string_view kDownLabel = MacroMouseEventTable[kMouseButtonEventRows + 3].label;

bool ValidSlot(int slot) { return slot >= 0 && slot < kCursorSlots; }

size_t BoundedCount(std::optional<std::string_view> stored, size_t limit) {
  const int count = stored ? platform::LeadingNumber(*stored) : 0;
  return static_cast<size_t>(std::clamp<long long>(count, 0, static_cast<long long>(limit)));
}

std::optional<std::vector<uint8_t>> ReadSlotBytes(const std::filesystem::path& file) {
  auto bytes = platform::ReadWholeFile(file, kMaxSlotFileBytes + 1);
  if (!bytes || bytes->size() > kMaxSlotFileBytes) return std::nullopt;
  return bytes;
}

std::optional<platform::IniDocument> ReadSlotFile(const std::filesystem::path& file) {
  const auto bytes = ReadSlotBytes(file);
  if (!bytes) return std::nullopt;
  return platform::IniDocument::Parse(*bytes);
}

size_t StepCount(const platform::IniDocument& file) {
  return BoundedCount(file.Get(kStepCountSection, kCountKey), kMaxSteps);
}

// The step as the 260-character read buffer holds it; a missing step does
// not parse.
std::optional<MacroAction> ReadStep(const platform::IniDocument& file, size_t step) {
  const std::optional<std::string> text = file.Get(kStepSection, std::to_string(step));
  if (!text) return std::nullopt;
  return ParseAction(platform::CutToCodePoints(*text, platform::kIniReadBufferChars - 1));
}

struct BulletSteps {
  MacroAction pause, horizontal, vertical;
};

size_t FirstEditedStep(int bullet) { return kCursorStepsPerBullet * size_t(bullet) + 3; }

std::optional<BulletSteps> ReadBulletSteps(const platform::IniDocument& file, int bullet) {
  if (bullet < 0 || bullet >= kCursorBullets) return std::nullopt;
  const size_t first = FirstEditedStep(bullet);
  if (StepCount(file) < first + 3) return std::nullopt;
  auto pause = ReadStep(file, first);
  auto horizontal = ReadStep(file, first + 1);
  auto vertical = ReadStep(file, first + 2);
  if (!pause || !horizontal || !vertical) return std::nullopt;
  if ((horizontal->event & 0x7F) != kEventMoveHorizontal || (vertical->event & 0x7F) != kEventMoveVertical)
    return std::nullopt;
  return BulletSteps{std::move(*pause), std::move(*horizontal), std::move(*vertical)};
}

Bullet BulletOf(const BulletSteps& steps) {
  return {steps.pause.delay, steps.horizontal.value, (steps.horizontal.event & kEventFlag) != 0, steps.vertical.value,
          (steps.vertical.event & kEventFlag) != 0};
}

// The label a step read from the mouse gets. Steps of a type the editor
// never writes (anything but buttons, moves and keys) and values no table
// row names get an empty label: the step keeps its bytes and still parses.
std::string_view StepLabel(uint8_t event, uint8_t value) {
  const bool flag = (event & kEventFlag) != 0;
  switch (event & 0x7F) {
    case kEventMouseButton:
      for (size_t row = 0; row < kMouseButtonEventRows; ++row)
        if (MacroMouseEventTable[row].button == value) return MacroMouseEventTable[row].label;
      return {};
    case kEventMoveHorizontal:
      return flag ? kLeftLabel : kRightLabel;
    case kEventMoveVertical:
      return flag ? kUpLabel : kDownLabel;
    case kEventModifierKey:
    case kEventOtherKey: {
      if (value == 0) return {};
      const bool modifier = (event & 0x7F) == kEventModifierKey;
      for (size_t row = 0; row < kKeyboardKeyRows; ++row) {
        const keys::KeyCodeRow& key = keys::KeyCodeTable[row];
        if (modifier ? key.p1 == value && key.p2 == 0 : key.p2 == value && key.p1 == 0) return key.textId;
      }
      return {};
    }
    default:
      return {};
  }
}

size_t Get16(std::span<const uint8_t> bytes, size_t at) { return size_t(bytes[at]) | size_t(bytes[at + 1]) << 8; }

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string SlotFileText(int slot, const std::vector<std::string>& steps) {
  std::string text = "[MACROACTIONCOUNT]\r\ncount=" + std::to_string(steps.size()) + "\r\n[MACROACTION]\r\n";
  for (size_t i = 0; i < steps.size(); ++i) text += std::to_string(i) + "=" + steps[i] + "\r\n";
  // The slot number, so that an exported copy imports into its gun again.
  text += "[MACRONUMBER]\r\nCODE=" + std::to_string(slot + 1) + "\r\n";
  return text;
}

// A file offered for import, read once: its bytes are what gets written, so
// the check and the copy see the same content, and importing a slot's own
// file rewrites it with itself.
struct ImportSource {
  SlotImport status = SlotImport::kFailed;
  std::vector<uint8_t> bytes;
  platform::IniDocument file;
};

ImportSource ReadImportSource(const std::filesystem::path& source) {
  ImportSource read;
  auto bytes = ReadSlotBytes(source);
  if (!bytes) return read;
  read.file = platform::IniDocument::Parse(*bytes);
  read.status = StepCount(read.file) > kMaxCursorSteps ? SlotImport::kTooManySteps : SlotImport::kImported;
  read.bytes = std::move(*bytes);
  return read;
}

}  // namespace

std::optional<std::filesystem::path> CursorSlotPath(const std::filesystem::path& folder, int slot) {
  if (!ValidSlot(slot)) return std::nullopt;
  return folder / ("name_" + std::to_string(slot + 1) + ".cur");
}

Bullet ClampBullet(const BulletEdit& edit) {
  return {static_cast<uint16_t>(std::clamp<long long>(edit.delay, 0, 0xFFFF)),
          static_cast<uint8_t>(std::clamp<long long>(edit.x, 0, 0xFF)), edit.left,
          static_cast<uint8_t>(std::clamp<long long>(edit.y, 0, 0xFF)), edit.up};
}

std::optional<Bullet> LoadBullet(const std::filesystem::path& folder, int slot, int bullet) {
  const auto path = CursorSlotPath(folder, slot);
  if (!path) return std::nullopt;
  const auto file = ReadSlotFile(*path);
  if (!file) return std::nullopt;
  const auto steps = ReadBulletSteps(*file, bullet);
  if (!steps) return std::nullopt;
  return BulletOf(*steps);
}

std::optional<Bullet> StoreBullet(const std::filesystem::path& folder, int slot, int bullet, const BulletEdit& edit) {
  const auto path = CursorSlotPath(folder, slot);
  if (!path) return std::nullopt;
  auto file = ReadSlotFile(*path);
  if (!file) return std::nullopt;
  auto steps = ReadBulletSteps(*file, bullet);
  if (!steps) return std::nullopt;
  const Bullet stored = ClampBullet(edit);
  steps->pause.delay = stored.delay;
  steps->horizontal.value = stored.x;
  steps->horizontal.event = stored.left ? kEventMoveHorizontal | kEventFlag : kEventMoveHorizontal;
  steps->horizontal.label = std::string(stored.left ? kLeftLabel : kRightLabel);
  steps->vertical.value = stored.y;
  steps->vertical.event = stored.up ? kEventMoveVertical | kEventFlag : kEventMoveVertical;
  steps->vertical.label = std::string(stored.up ? kUpLabel : kDownLabel);
  const size_t first = FirstEditedStep(bullet);
  const bool set = file->Set(kStepSection, std::to_string(first), FormatAction(steps->pause)) &&
                   file->Set(kStepSection, std::to_string(first + 1), FormatAction(steps->horizontal)) &&
                   file->Set(kStepSection, std::to_string(first + 2), FormatAction(steps->vertical));
  if (!set || !platform::WriteFileAtomically(*path, Bytes(file->Serialise()))) return std::nullopt;
  return stored;
}

CursorImagePlan PlanCursorImage(const std::filesystem::path& folder) {
  const auto index = platform::IniLookup::FromFile(folder / std::string(MacroIndexFileName(device::Peripheral::Mouse)));
  const size_t slots = BoundedCount(index.Get(kCursorCountSection, kCountKey), kCursorSlots);
  if (slots == 0) return {};

  std::vector<MacroRecord> records;
  size_t total = kMacroImageHeaderSize + slots * (2 + kMacroBlockHeaderSize);
  for (int slot = 0; slot < int(slots); ++slot) {
    const auto bytes = ReadSlotBytes(*CursorSlotPath(folder, slot));
    records.push_back({"name_" + std::to_string(slot + 1),
                       MacroSteps(platform::IniLookup::Parse(bytes ? *bytes : std::vector<uint8_t>{}))});
    // A longer slot would go out, and the mouse's image would then be
    // refused on every read back, so no slot file could follow it again.
    if (records.back().steps.size() > kMaxCursorSteps) return {CursorImagePlan::kTooManySteps, {}};
    total += kMacroStepSize * records.back().steps.size();
  }
  if (total > kMaxCursorImageLength) return {CursorImagePlan::kTooLarge, {}};
  return {CursorImagePlan::kReady, BuildMacroImage(records)};
}

std::optional<std::vector<std::vector<std::string>>> DecodeCursorImage(std::span<const uint8_t> bytes) {
  if (bytes.size() < kMacroImageHeaderSize || Get16(bytes, 0) != kMacroImageMagic) return std::nullopt;
  const size_t total = Get16(bytes, 2);
  if (total < kMacroImageHeaderSize || total > kMaxCursorImageLength || total > bytes.size()) return std::nullopt;
  const size_t slots = Get16(bytes, 4);
  const size_t tableEnd = kMacroImageHeaderSize + 2 * slots;
  if (slots > size_t(kCursorSlots) || tableEnd > total) return std::nullopt;

  std::vector<std::vector<std::string>> decoded(slots);
  for (size_t slot = 0; slot < slots; ++slot) {
    const size_t block = Get16(bytes, kMacroImageHeaderSize + 2 * slot);
    if (block < tableEnd || block + kMacroBlockHeaderSize > total) return std::nullopt;
    const size_t count = Get16(bytes, block);
    if (count > kMaxCursorSteps || block + kMacroBlockHeaderSize + kMacroStepSize * count > total) return std::nullopt;
    for (size_t j = 0; j < count; ++j) {
      const size_t at = block + kMacroBlockHeaderSize + kMacroStepSize * j;
      MacroAction step;
      step.delay = static_cast<uint16_t>(Get16(bytes, at));
      step.event = bytes[at + 2];
      step.value = bytes[at + 3];
      step.pressed = (step.event & kEventFlag) ? 1 : 0;
      step.label = std::string(StepLabel(step.event, step.value));
      decoded[slot].push_back(FormatAction(step));
    }
  }
  return decoded;
}

int RewriteSlotsFromImage(const std::filesystem::path& folder, std::span<const uint8_t> bytes) {
  const auto slots = DecodeCursorImage(bytes);
  if (!slots) return 0;
  int written = 0;
  for (int slot = 0; slot < int(slots->size()); ++slot)
    if (platform::WriteFileAtomically(*CursorSlotPath(folder, slot), Bytes(SlotFileText(slot, (*slots)[size_t(slot)]))))
      ++written;
  return written;
}

bool ResetSlot(const std::filesystem::path& folder, const std::filesystem::path& programFolder, int slot) {
  const auto path = CursorSlotPath(folder, slot);
  return path && platform::CopyFile(programFolder / path->filename(), *path);
}

SlotImport ImportSlot(const std::filesystem::path& folder, int slot, const std::filesystem::path& source) {
  const auto path = CursorSlotPath(folder, slot);
  if (!path) return SlotImport::kBadSlot;
  const ImportSource read = ReadImportSource(source);
  if (read.status != SlotImport::kImported) return read.status;
  return platform::WriteFileAtomically(*path, read.bytes) ? SlotImport::kImported : SlotImport::kFailed;
}

GunImport ImportGun(const std::filesystem::path& folder, const std::filesystem::path& source) {
  const ImportSource read = ReadImportSource(source);
  if (read.status != SlotImport::kImported) return {read.status};
  // Only a lone digit counts: the slot file's name is built from the number,
  // never from the text.
  const std::string code = read.file.Get(kNumberSection, kCodeKey).value_or("0");
  if (code.size() != 1 || code[0] < '1' || code[0] > '4') return {SlotImport::kBadSlot};
  const int slot = code[0] - '1';
  if (!platform::WriteFileAtomically(*CursorSlotPath(folder, slot), read.bytes)) return {SlotImport::kFailed};
  return {SlotImport::kImported, slot};
}

bool ExportSlot(const std::filesystem::path& folder, int slot, const std::filesystem::path& target) {
  const auto path = CursorSlotPath(folder, slot);
  return path && platform::CopyFile(*path, target);
}

}  // namespace talvo::macros
