// Where an installed program finds its resources: share/vitrane beside its
// bin/, wherever the prefix was put.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kit/bundle.h"
#include "tests/photo_files.h"

namespace {

namespace fs = std::filesystem;

TEST(InstallLayout, ResourcesAreFoundBesideTheProgramOnlyWhenTheInterfaceFileIsThere) {
  phototest::TempFolder prefix;
  const fs::path program = prefix / "bin" / "vitrane-run";
  fs::create_directories(program.parent_path());
  std::ofstream(program) << "";
  EXPECT_EQ(kit::Bundle::installedResourceDir(program.string()), "");  // no share/vitrane at all

  fs::create_directories(prefix / "share" / "vitrane");
  EXPECT_EQ(kit::Bundle::installedResourceDir(program.string()), "");  // someone else's folder

  std::ofstream(prefix / "share" / "vitrane" / "MainInterface.json") << "{}";
  EXPECT_EQ(kit::Bundle::installedResourceDir(program.string()),
            (prefix / "share" / "vitrane").string());
}

TEST(InstallLayout, ProgramsRunFromTheBuildTreeUseTheSourceResources) {
  // The test program lies in the build folder, with no share/vitrane beside it.
  EXPECT_EQ(kit::Bundle::installedResourceDir(), "");
  EXPECT_TRUE(
      fs::is_regular_file(fs::path(kit::Bundle::defaultResourceDir()) / "MainInterface.json"));
}

}  // namespace
