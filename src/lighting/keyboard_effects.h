// The seventeen lighting effects the host computes for the keyboard. Each
// paints the 126 LED states from the keyboard's record and effect state;
// the keyboard thread then builds and sends the frame. LEDs an effect does
// not touch keep their last colour and level.
//
// The effect state carries over from mode to mode, and loading a light file
// or synchronized lighting changes the mode without resetting it, so every
// effect bounds the positions it finds there before it reads a table with
// them.
#pragma once

#include "lighting/lighting_threads.h"

namespace talvo::lighting {

// Every keyboard mode's effect and the sleep it takes before its effect
// (the speed adds nothing to these sleeps). The effects keep all their state
// in the effect state, so one table serves for the life of the program.
KeyboardModeTable KeyboardModes();

}  // namespace talvo::lighting
