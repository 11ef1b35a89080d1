// The four factory cursor macros ("guns"): a recoil-compensation pattern of
// 30 bullets each, in the INI format of macro files:
//   [MACROACTIONCOUNT] count=180
//   [MACROACTION]      0=..., 1=..., ... 179=...   one action string a step
//   [MACRONUMBER]      CODE=1..4                   the slot, so an exported
//                                                   copy imports into it again
// An action string is "delay low, delay high, event, value, pressed, label":
// the pause in milliseconds after the step as two bytes, the event code (type
// in bits 0..6, bit 7 the press / left / up flag), the button bit or
// distance, 1 when bit 7 of the event is set, and the step's text id.
//
// Each bullet b is six steps:
//   6b     left button press                       81 01, delay 0
//   6b+1   hold: a pointer move of 0 counts        04 00, delay = hold time
//   6b+2   left button release                     01 01, delay 0
//   6b+3   pause: a pointer move of 0 counts       05 00, delay = bullet pause
//   6b+4   horizontal move, 84 left / 04 right     distance, delay 0
//   6b+5   vertical move, 85 up / 05 down          distance, delay 0
// The mouse page edits only the pause and the two moves; the press, the hold
// and the release are fixed here. The hold keeps the button down for 20 ms,
// longer than one frame of a game running at 60 frames a second (16.7 ms), so
// the game sees every shot.
// The moves of bullet b run just before bullet b + 1 fires and pull the aim
// back against the kick of bullet b.
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_file.h"
#include "tools/factory_files/factory_files.h"

namespace talvo::factory {
namespace {

constexpr size_t kBullets = 30;
constexpr size_t kStepsPerBullet = 6;
constexpr size_t kSteps = kBullets * kStepsPerBullet;  // 180, the most a slot holds

// Event codes: type in bits 0..6, flag in bit 7.
constexpr uint8_t kFlag = 0x80;
constexpr uint8_t kMouseButton = 0x01;     // flag set = press
constexpr uint8_t kHorizontalMove = 0x04;  // flag set = left
constexpr uint8_t kVerticalMove = 0x05;    // flag set = up
constexpr uint8_t kLeftButtonBit = 0x01;

constexpr uint16_t kHoldMs = 20;

struct Bullet {
  uint16_t pauseMs;  // after the release, before the moves
  int dx;            // counts; positive right, negative left
  int dy;            // counts; positive down (against the climb), negative up
};

using Gun = std::array<Bullet, kBullets>;

// One pause for every bullet, and the moves bullet by bullet.
constexpr Gun Bullets(uint16_t pauseMs, const std::array<int, kBullets>& dx, const std::array<int, kBullets>& dy) {
  Gun out{};
  for (size_t b = 0; b < kBullets; ++b) out[b] = {pauseMs, dx[b], dy[b]};
  return out;
}

// GUN_1, assault rifle: 20 ms hold + 80 ms pause = one shot every 100 ms
// (600 rounds a minute). The muzzle climbs harder for the first ten rounds,
// then settles to a steady climb while it wanders right (rounds 10..19) and
// back left (rounds 20..29); the moves pull down and against the wander.
constexpr Gun kRifle =
    Bullets(80,
            {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,        //
             -1, -1, -2, -2, -2, -2, -1, -1, 0, 0,  //
             1, 1, 2, 2, 2, 2, 1, 1, 0, 0},
            {3, 4, 5, 6, 7, 8, 8, 8, 7, 7,  //
             6, 6, 5, 5, 5, 4, 4, 4, 4, 4,  //
             4, 4, 4, 4, 4, 4, 4, 4, 4, 4});

// GUN_2, submachine gun: 20 ms hold + 47 ms pause = one shot every 67 ms
// (about 900 rounds a minute). A light, even climb; from round 5 the muzzle
// creeps left, countered by one count right every other round.
constexpr Gun kSubmachineGun =
    Bullets(47,
            {0, 0, 0, 0, 0, 1, 0, 1, 0, 1,  //
             0, 1, 0, 1, 0, 1, 0, 1, 0, 1,  //
             0, 1, 0, 1, 0, 1, 0, 1, 0, 1},
            {2, 2, 3, 3, 3, 3, 3, 3, 3, 3,  //
             3, 3, 3, 3, 3, 3, 3, 3, 3, 3,  //
             2, 2, 2, 2, 2, 2, 2, 2, 2, 2});

// GUN_3, three-round burst: ten bursts. Within a burst 20 ms hold + 45 ms
// pause (65 ms a round); after the third round a 300 ms pause lets the
// trigger reset and the muzzle settle, so that round needs no pull.
constexpr Gun BurstBullets() {
  constexpr std::array<Bullet, 3> kBurst = {{{45, 0, 5}, {45, 0, 7}, {300, 0, 0}}};
  Gun out{};
  for (size_t b = 0; b < kBullets; ++b) out[b] = kBurst[b % kBurst.size()];
  return out;
}
constexpr Gun kBurstRifle = BurstBullets();

// GUN_4, marksman rifle: 20 ms hold + 230 ms pause = four aimed shots a
// second. Each shot kicks a little and mostly recovers by itself: a small
// two-count pull, no sideways move.
constexpr Gun kMarksmanRifle =
    Bullets(230,
            {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
             0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
             0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
            {2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  //
             2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  //
             2, 2, 2, 2, 2, 2, 2, 2, 2, 2});

constexpr std::array<const Gun*, kCursorSlots> kGuns = {&kRifle, &kSubmachineGun, &kBurstRifle, &kMarksmanRifle};

// A move step carries its distance in one byte.
constexpr bool FitsInSteps(const Gun& gun) {
  for (const Bullet& b : gun) {
    if (b.dx < -255 || b.dx > 255 || b.dy < -255 || b.dy > 255) return false;
  }
  return true;
}
static_assert(FitsInSteps(kRifle) && FitsInSteps(kSubmachineGun) && FitsInSteps(kBurstRifle) &&
              FitsInSteps(kMarksmanRifle));

struct Step {
  uint16_t delay;
  uint8_t event;
  uint8_t value;
  std::string_view label;
};

std::string FormatAction(const Step& s) {
  char text[128];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%.*s", s.delay & 0xFF, s.delay >> 8, s.event, s.value,
                (s.event & kFlag) ? 1 : 0, static_cast<int>(s.label.size()), s.label.data());
  return text;
}

Step HorizontalMove(int dx, uint16_t delay) {
  if (dx < 0) return {delay, kHorizontalMove | kFlag, static_cast<uint8_t>(-dx), "mouse_move_to_left_text"};
  return {delay, kHorizontalMove, static_cast<uint8_t>(dx), "mouse_move_to_right_text"};
}

Step VerticalMove(int dy, uint16_t delay) {
  if (dy < 0) return {delay, kVerticalMove | kFlag, static_cast<uint8_t>(-dy), "mouse_move_to_up_text"};
  return {delay, kVerticalMove, static_cast<uint8_t>(dy), "mouse_move_to_down_text"};
}

std::array<Step, kStepsPerBullet> BulletSteps(const Bullet& bullet) {
  return {{
      {0, kMouseButton | kFlag, kLeftButtonBit, "mouse_key_left"},
      HorizontalMove(0, kHoldMs),
      {0, kMouseButton, kLeftButtonBit, "mouse_key_left"},
      VerticalMove(0, bullet.pauseMs),
      HorizontalMove(bullet.dx, 0),
      VerticalMove(bullet.dy, 0),
  }};
}

}  // namespace

std::string CursorSlotFileName(size_t slot) { return "name_" + std::to_string(slot + 1) + ".cur"; }

std::optional<std::string> CursorSlotFileText(size_t slot) {
  if (slot >= kGuns.size()) return std::nullopt;
  platform::IniDocument doc = platform::IniDocument::Parse({});
  bool ok = doc.Set("MACROACTIONCOUNT", "count", std::to_string(kSteps));
  size_t step = 0;
  for (const Bullet& bullet : *kGuns[slot]) {
    for (const Step& s : BulletSteps(bullet)) {
      ok = ok && doc.Set("MACROACTION", std::to_string(step++), FormatAction(s));
    }
  }
  ok = ok && doc.Set("MACRONUMBER", "CODE", std::to_string(slot + 1));
  if (!ok) return std::nullopt;
  return doc.Serialise();
}

}  // namespace talvo::factory
