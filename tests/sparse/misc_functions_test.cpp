// FileExists: files yes, folders and missing paths no.
#include "sparse/misc_functions.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

namespace wendrel {
namespace {

TEST(FileExists, FilesOnly) {
  test::TempDir dir;
  std::ofstream(dir.Path("a.txt")) << "x";
  EXPECT_TRUE(FileExists(dir.Path("a.txt")));
  EXPECT_FALSE(FileExists(dir.Root().string()));
  EXPECT_FALSE(FileExists(dir.Path("missing.txt")));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace wendrel
