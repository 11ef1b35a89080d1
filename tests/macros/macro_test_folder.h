// A private device folder and program folder per test, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace talvo::macros::test {

class MacroFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root_ = std::filesystem::temp_directory_path() /
            ("talvo-macros-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(Folder());
    std::filesystem::create_directories(Program());
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  std::filesystem::path Root() const { return root_; }
  std::filesystem::path Folder() const { return root_ / "data" / "ms"; }
  std::filesystem::path Program() const { return root_ / "program"; }

  static void Write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  static std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

 private:
  std::filesystem::path root_;
};

}  // namespace talvo::macros::test
