// FileExists: files yes, folders and missing paths no.
#include "sparse/misc_functions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace wendrel {
namespace {

TEST(FileExists, FilesOnly) {
  std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "file_exists_test";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "a.txt") << "x";
  EXPECT_TRUE(FileExists((folder / "a.txt").string()));
  EXPECT_FALSE(FileExists(folder.string()));
  EXPECT_FALSE(FileExists((folder / "missing.txt").string()));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace wendrel
