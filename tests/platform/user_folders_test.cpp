// FileExists (files yes, folders and missing paths no) and the user cache folder's fallbacks.
#include "platform/user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

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

// Each test runs in its own process under ctest; the variables are put back all the same.
class UserCacheFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Keep("XDG_CACHE_HOME", m_xdg);
    Keep("HOME", m_home);
  }
  void TearDown() override {
    Restore("XDG_CACHE_HOME", m_xdg);
    Restore("HOME", m_home);
  }

 private:
  static void Keep(const char* name, std::optional<std::string>& value) {
    if (const char* v = std::getenv(name)) value = v;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  std::optional<std::string> m_xdg, m_home;
};

TEST_F(UserCacheFolderTest, XdgThenHomeThenTheTemporaryFolder) {
  setenv("XDG_CACHE_HOME", "/x/cache", 1);
  setenv("HOME", "/h", 1);
  EXPECT_EQ(UserCacheFile("f.sqlite"), "/x/cache/wendrel/f.sqlite");
  setenv("XDG_CACHE_HOME", "", 1);
  EXPECT_EQ(UserCacheFile("f.sqlite"), "/h/.cache/wendrel/f.sqlite");
  unsetenv("XDG_CACHE_HOME");
  unsetenv("HOME");
  EXPECT_EQ(UserCacheFile("f.sqlite"), (std::filesystem::temp_directory_path() / "wendrel" / "f.sqlite").string());
}

TEST_F(UserCacheFolderTest, IsCreated) {
  test::TempDir dir;
  setenv("XDG_CACHE_HOME", dir.Path("cache").c_str(), 1);
  EXPECT_EQ(UserCacheFolder(), dir.Path("cache") + "/wendrel");
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("cache") + "/wendrel"));
}

}  // namespace
}  // namespace wendrel
