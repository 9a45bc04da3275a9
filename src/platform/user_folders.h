// Where the program's files live: the program's own folder, the per-user cache folder, the
// installed data folder; and whether a path names a file. One fallback rule for every user folder:
// the XDG variable, else the folder under $HOME, else the temporary folder.
#pragma once

#include <string>

namespace wendrel {

// The folder the running program lies in; "." when it cannot be found.
std::string ProgramFolder();

// The per-user cache folder, $XDG_CACHE_HOME/wendrel (or ~/.cache/wendrel, or a folder "wendrel"
// in the temporary folder when neither is known), created if needed.
std::string UserCacheFolder();
// A file in that folder; the folder is not created (its user creates it when writing).
std::string UserCacheFile(const std::string& name);

// The per-user data folder, $XDG_DATA_HOME/wendrel (or ~/.local/share/wendrel, or a folder
// "wendrel-data" in the temporary folder when neither is known), created if needed.
std::string UserDataFolder();

// The folder the installed program's data files (the stop-word list, the demo corpus) go to:
// share/wendrel beside the program's bin/ folder, wherever the tree was installed.
std::string InstalledDataFolder();

// True when the program runs from an installed tree: its installed data folder exists. An
// installed program writes nothing beside itself (bin/ is shared, and root could write there).
bool InstalledProgram();

// A data file the program ships (common_words.txt, demo.sqlite): beside the program, as in a build
// tree, else in the installed data folder. When neither holds it, the installed path if that folder
// exists (an installed program), else the path beside the program.
std::string ProgramDataFile(const std::string& name);

// True when the path names an existing entry that is not a folder; false when it does not
// exist or cannot be examined.
bool FileExists(const std::string& path);

}  // namespace wendrel
