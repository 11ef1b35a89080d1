// talvo-factory-files OUTDIR: writes the factory default files (default
// profiles of every kind and the four cursor-macro guns) into OUTDIR, creating
// it when missing. Run at build time; the files are installed beside skin/.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/factory_files/factory_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: talvo-factory-files OUTDIR\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "talvo-factory-files: cannot create %s: %s\n", folder.c_str(), error.message().c_str());
    return 1;
  }
  return talvo::factory::WriteFactoryFiles(folder) ? 0 : 1;
}
