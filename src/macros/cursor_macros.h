// The mouse's four cursor macros ("guns"): one slot file per gun,
// "name_1.cur" … "name_4.cur" in the mouse folder, in the ".mac" file format.
// A slot holds 30 bullets of six steps; the editor changes three of them per
// bullet (the pause and the two pointer moves), the rest come from the
// factory file. The slots are sent to the mouse as one cursor image laid out
// like the macro image, and rewritten from the image the mouse holds.
//
// Slot file names are fixed by the slot number: neither a name in the macro
// index nor a number read from an imported file ever becomes a path. Every
// rewrite of a slot file is one atomic replace, so a failed import, reset or
// download leaves the old slot whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "macros/macro_files.h"  // kCursorSlots

namespace talvo::macros {

inline constexpr int kCursorBullets = 30;
inline constexpr size_t kCursorStepsPerBullet = 6;
// The most steps a slot may hold, in a file or in the mouse's image.
inline constexpr size_t kMaxCursorSteps = 180;
// The mouse's cursor memory.
inline constexpr size_t kMaxCursorImageLength = 3072;

// Folder / "name_<slot + 1>.cur"; nothing for a slot outside 0-3.
std::optional<std::filesystem::path> CursorSlotPath(const std::filesystem::path& folder, int slot);

// What the editor shows of one bullet.
struct Bullet {
  uint16_t delay = 0;  // ms, the pause step's delay
  uint8_t x = 0;       // horizontal distance
  bool left = false;   // else right
  uint8_t y = 0;       // vertical distance
  bool up = false;     // else down
  friend bool operator==(const Bullet&, const Bullet&) = default;
};

// The editor's values as typed, before clamping.
struct BulletEdit {
  long long delay = 0;
  long long x = 0;
  bool left = false;
  long long y = 0;
  bool up = false;
};

// Clamps the delay to 0-65535 and the distances to 0-255.
Bullet ClampBullet(const BulletEdit& edit);

// Bullet `bullet` (0-29) of a slot. Nothing when the slot file is missing,
// holds fewer steps than the bullet needs, or one of its three steps does not
// parse or is not the move it stands for (a horizontal move at 6b + 4, a
// vertical one at 6b + 5): such a bullet is shown disabled and never
// rewritten.
std::optional<Bullet> LoadBullet(const std::filesystem::path& folder, int slot, int bullet);

// Writes the clamped edit into the bullet's three steps: the pause step's
// delay, then each move's event, distance, press flag and label; every other
// field and step is kept. One atomic write of the slot file. Returns what
// was stored, or nothing when the bullet cannot be edited (as LoadBullet)
// or the write failed.
std::optional<Bullet> StoreBullet(const std::filesystem::path& folder, int slot, int bullet, const BulletEdit& edit);

struct CursorImagePlan {
  enum Status {
    kNothing,       // the index counts no slot: nothing to send
    kReady,         // `image` is to be sent
    kTooLarge,      // over the mouse's cursor memory: nothing is sent
    kTooManySteps,  // a slot holds more than kMaxCursorSteps, which the
                    // mouse's image refuses: nothing is sent
  } status = kNothing;
  std::vector<uint8_t> image;
};
// The cursor image of the slots the macro index counts ("CURSORCOUNT", at
// most four), laid out as the macro image.
CursorImagePlan PlanCursorImage(const std::filesystem::path& folder);

// The steps of each slot of an image read from the mouse, as action strings,
// or nothing when the image is not one: the magic, a total length of 16-3072
// within the bytes, at most four slots, each block after the offset table
// and inside the total, at most 180 steps a block.
std::optional<std::vector<std::vector<std::string>>> DecodeCursorImage(std::span<const uint8_t> bytes);

// Rewrites the slot file of each slot the image holds (DecodeCursorImage);
// slots beyond its slot count keep their files. Returns the number of files
// rewritten; 0 and no change for bytes that are not an image.
int RewriteSlotsFromImage(const std::filesystem::path& folder, std::span<const uint8_t> bytes);

// Copies the slot's factory file from the program folder over the slot.
bool ResetSlot(const std::filesystem::path& folder, const std::filesystem::path& programFolder, int slot);

enum class SlotImport {
  kImported,
  kTooManySteps,  // more than kMaxCursorSteps: "message_text_18"
  kBadSlot,       // a gun import whose file names no slot 1-4
  kFailed,        // unreadable source or failed write
};

// Replaces the slot's file with `source` (read once, so importing the slot's
// own file keeps it).
SlotImport ImportSlot(const std::filesystem::path& folder, int slot, const std::filesystem::path& source);

struct GunImport {
  SlotImport status = SlotImport::kFailed;
  int slot = -1;  // 0-3 when imported
};
// Imports `source` into the slot its "MACRONUMBER"/"CODE" names; only the
// values 1-4 are accepted.
GunImport ImportGun(const std::filesystem::path& folder, const std::filesystem::path& source);

// Copies the slot's file to `target`, replacing it atomically.
bool ExportSlot(const std::filesystem::path& folder, int slot, const std::filesystem::path& target);

}  // namespace talvo::macros
