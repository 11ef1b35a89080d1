// A private set of folders for each test: documents (and so the data and
// device folders), configuration folders and the program folder all live in
// one temporary tree that is removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <initializer_list>
#include <vector>

#include "platform/folders.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_index.h"

namespace talvo::profiles::test {

class ProfileFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root_ = std::filesystem::temp_directory_path() /
            ("talvo-profiles-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(root_ / "home");
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "xdg");
    std::filesystem::create_directories(root_ / "program");
    setenv("HOME", (root_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root_ / "xdg").c_str(), 1);
    setenv("TALVO_PROGRAM_DIR", (root_ / "program").c_str(), 1);
    setenv("TALVO_DEBUG", "1", 1);
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path Program() const { return root_ / "program"; }

 private:
  std::filesystem::path root_;
};

// Index files in which the lighting and device lists of each device hold one
// profile, "saved", which is the chosen one.
inline void ChooseSavedProfiles(std::initializer_list<device::Peripheral> devices) {
  for (const device::Peripheral p : devices)
    for (const ProfileKind kind : {ProfileKind::Lighting, ProfileKind::Device}) {
      const ProfileCombo* combo = FindCombo(p, kind);
      if (!combo) continue;
      const ProfileIndex index(*combo);
      index.SetCount(1);
      index.SetName(0, "saved");
      index.SetSelect(0);
    }
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The body of the device's chosen "saved" profile with that extension
// (".led", ".config"); empty when none was written.
inline std::vector<uint8_t> SavedBody(device::Peripheral p, const char* extension) {
  const auto file = ReadBytes(DeviceFolder(p) / (std::string("saved") + extension));
  if (file.size() < kHeaderSize) return {};
  return {file.begin() + kHeaderSize, file.end()};
}
// Where the light body starts inside a device (".config") profile's body.
inline constexpr size_t kLightInConfig = 512;

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Bytes that differ from their neighbours and from zero, so a shifted or
// truncated copy never passes for the original.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t start) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(start + i * 7 + (i >> 8) + 1);
  for (auto& b : bytes) {
    if (b == 0) b = 0x5A;
  }
  return bytes;
}

}  // namespace talvo::profiles::test
