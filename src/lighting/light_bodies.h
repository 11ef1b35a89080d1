// Light file bodies: the bytes that follow the profile data file header of a
// light file (and that the keyboard and mouse device profiles embed after
// their key maps). Packing and unpacking only; the files themselves are read
// and written by the profiles room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "lighting/light_records.h"

namespace talvo::lighting {

inline constexpr size_t kKeyboardLightBodySize = 1958;
inline constexpr size_t kMouseLightBodySize = 64;
inline constexpr size_t kMousepadLightBodySize = 64;

// Keyboard body: light image slot 0, then the custom-painting choices, then
// the five colour sets.
inline constexpr size_t kKeyboardBodyImage = 0;
inline constexpr size_t kKeyboardBodyCustomSetIndex = 64;
inline constexpr size_t kKeyboardBodyPaintColour = 65;
inline constexpr size_t kKeyboardBodyColourSets = 68;

// Mouse body: light image slot 0, whose bytes 34 and 35 carry the pointer
// speed and wheel lines. The mousepad body is its light image slot 0.
inline constexpr size_t kMouseBodyPointerSpeed = 34;
inline constexpr size_t kMouseBodyWheelLines = 35;

static_assert(kKeyboardBodyColourSets + CustomColourSets::kSize == kKeyboardLightBodySize);
static_assert(kKeyboardBodyCustomSetIndex + CustomPaint::kSize == kKeyboardBodyColourSets);
static_assert(LightImage::kSize == kMouseLightBodySize && LightImage::kSize == kMousepadLightBodySize);

// Copy the live record into the start of light image slot 0 (the mouse also
// its pointer speed and wheel lines into bytes 34 and 35), then fill `body`.
void PackLightBody(KeyboardLighting& kb, std::span<uint8_t, kKeyboardLightBodySize> body);
void PackLightBody(MouseLighting& ms, std::span<uint8_t, kMouseLightBodySize> body);
void PackLightBody(MousepadLighting& mp, std::span<uint8_t, kMousepadLightBodySize> body);

// Load a body: slot 0 gets the image, the live record its first bytes, the
// keyboard also its painting choices and all five colour sets. A mouse
// pointer speed or wheel-lines value of 0 loads as 1. A body read from a
// shorter file arrives zero-filled at the tail.
void UnpackLightBody(std::span<const uint8_t, kKeyboardLightBodySize> body, KeyboardLighting& kb);
void UnpackLightBody(std::span<const uint8_t, kMouseLightBodySize> body, MouseLighting& ms);
void UnpackLightBody(std::span<const uint8_t, kMousepadLightBodySize> body, MousepadLighting& mp);

}  // namespace talvo::lighting
