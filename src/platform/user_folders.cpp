// The program's, the user's and the installed folders.
#include "platform/user_folders.h"

#include <cstdlib>
#include <filesystem>

namespace wendrel {

namespace {

std::filesystem::path UserCachePath() {
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) return std::filesystem::path(xdg) / "wendrel";
  if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".cache" / "wendrel";
  std::error_code error;
  return std::filesystem::temp_directory_path(error) / "wendrel";
}

}  // namespace

std::string ProgramFolder() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : exe.parent_path().string();
}

std::string UserCacheFolder() {
  const std::filesystem::path cache = UserCachePath();
  std::error_code error;
  std::filesystem::create_directories(cache, error);
  return cache.string();
}

std::string UserCacheFile(const std::string& name) { return (UserCachePath() / name).string(); }

std::string InstalledDataFolder() { return WENDREL_DATA_DIR; }

bool FileExists(const std::string& path) {
  std::error_code error;
  auto status = std::filesystem::status(path, error);
  if (error) return false;
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace wendrel
