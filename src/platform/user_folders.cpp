// The program's, the user's and the installed folders.
#include "platform/user_folders.h"

#include <cstdlib>
#include <filesystem>

namespace wendrel {

namespace {

// The XDG variable's folder, else the one under $HOME, else one in the temporary folder.
std::filesystem::path UserPath(const char* variable, const std::filesystem::path& underHome, const char* temporary) {
  if (const char* xdg = std::getenv(variable); xdg && *xdg) return std::filesystem::path(xdg) / "wendrel";
  if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / underHome / "wendrel";
  std::error_code error;
  return std::filesystem::temp_directory_path(error) / temporary;
}

std::filesystem::path UserCachePath() { return UserPath("XDG_CACHE_HOME", ".cache", "wendrel"); }

std::string CreatedFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder.string();
}

}  // namespace

std::string ProgramFolder() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : exe.parent_path().string();
}

std::string UserCacheFolder() { return CreatedFolder(UserCachePath()); }

std::string UserDataFolder() {
  return CreatedFolder(UserPath("XDG_DATA_HOME", std::filesystem::path(".local") / "share", "wendrel-data"));
}

std::string UserCacheFile(const std::string& name) { return (UserCachePath() / name).string(); }

std::string InstalledDataFolder() {
  return (std::filesystem::path(ProgramFolder()) / WENDREL_DATA_FROM_PROGRAM).lexically_normal().string();
}

bool InstalledProgram() {
  std::error_code error;
  return std::filesystem::is_directory(InstalledDataFolder(), error);
}

std::string ProgramDataFile(const std::string& name) {
  const std::string beside = (std::filesystem::path(ProgramFolder()) / name).string();
  if (FileExists(beside)) return beside;
  const std::string installed = (std::filesystem::path(InstalledDataFolder()) / name).string();
  return FileExists(installed) || InstalledProgram() ? installed : beside;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  auto status = std::filesystem::status(path, error);
  if (error) return false;
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace wendrel
