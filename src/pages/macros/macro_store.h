// Storing a key profile on its device: every macro of the device as one
// image, then the profile's key map, which names the macros by their place
// in it. The image is planned on the UI thread (files only); the device's
// session sends it while the progress display runs, and the profile files
// are saved when it is done.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "toolkit/toolkit.h"
#include "device/device_commands.h"
#include "device/device_session.h"
#include "keys/key_map.h"
#include "pages/sequence_runner.h"
#include "profiles/profile_saver.h"

namespace talvo::macros::pages {

// The profile files that hold a device's key maps: the mouse's device
// settings file; the keyboard's key profile file and device settings file.
void MarkKeyFiles(profiles::ProfileSaver& saver, device::Peripheral peripheral);

struct StoreTarget {
  device::Peripheral peripheral;
  device::DeviceSession& session;
  std::filesystem::path folder;  // the device's macro files
  device::DeviceInfo info;       // its macro memory size
  unsigned profile;              // the key map's profile on the device
  keys::KeyMapRecord keyMap;
  // The mouse's cursor macros, sent first; empty for none.
  std::vector<uint8_t> cursorImage;
  // Runs once the store is over, whatever became of it.
  std::function<void()> finished;
};

// The cursor image goes first, in a transfer of its own. Macros that do not
// fit the device's memory are then told ("message_text_16", with the steps
// to remove) and neither they nor the key map are sent, nor the files saved.
// Otherwise the image and key map go to the device, whose files are then
// saved; a device that did not take the image is told ("message_text_24")
// and keeps its old key map. An absent device changes nothing but the files.
void StoreProfileOnDevice(toolkit::Window& window, ::talvo::pages::SequenceRunner& runner,
                          profiles::ProfileSaver& saver, StoreTarget target);

}  // namespace talvo::macros::pages
