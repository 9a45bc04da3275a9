// Saves killed half way: a forked child saves one of two large contents over the same file again
// and again and is killed (SIGKILL) at a random moment; the file must then hold the old content or
// the new one whole, for every kind of file the programs write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "chain/chain_file_io.h"
#include "cli/service_commands.h"
#include "pointmap/qimage/qimage_surface.h"
#include "corpus/corpus_generator.h"
#include "corpus/corpus_import.h"
#include "platform/replacing_file.h"
#include "sparse/sparse_matrix_single.h"
#include "temp_dir.h"
#include "text/text_functions.h"

namespace wendrel {
namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Lines of varied text with CR LF ends, about a megabyte: long enough that a kill often lands
// inside the write.
std::string LargeText(int variant) {
  std::string text;
  std::mt19937 random(static_cast<unsigned>(variant) + 1);
  for (int line = 0; line < 12000; ++line)
    text += "line " + std::to_string(line) + " of variant " + std::to_string(variant) + ": " +
            std::to_string(random()) + std::string(40, static_cast<char>('a' + variant)) + "\r\n";
  return text;
}

// What the saves write, made once before any child starts: two texts, two matrices, and the two
// JSON Lines files the corpus import reads.
std::string g_texts[2];
SparseMatrixSingle g_matrices[2];
std::string g_importInputs[2];

// One kind of save: writes variant 0 or 1 of its content to the path, as the program does.
struct SaveKind {
  const char* name;
  std::function<void(int variant, const std::string& path)> save;
};

const SaveKind kKinds[] = {
    {"chain lists (RIS, WoS, events)", [](int v, const std::string& path) { WriteFileReplacing(path, g_texts[v]); }},
    {"text exports (.tdm, document sets, derived fields)",
     [](int v, const std::string& path) { WriteTextFile(path, g_texts[v]); }},
    {"dense matrix",
     [](int v, const std::string& path) { g_matrices[v].SaveDenseMatrix(path, v == 1); }},
    {"map picture (PNG)",
     [](int v, const std::string& path) {
       QImageSurface surface(800, 800);
       surface.SetMapping(0, 0, 1, 1);
       surface.Clear();
       std::mt19937 random(static_cast<unsigned>(v) + 7);
       std::uniform_real_distribution<float> at(0, 1);
       for (int i = 0; i < 1500; ++i) surface.Line(at(random), at(random), at(random), at(random));
       if (!surface.SavePng(path)) throw std::runtime_error("cannot write " + path);
     }},
    {"generated corpus",
     [](int v, const std::string& path) {
       std::ostringstream out, err;
       if (RunCorpus({"generate", "--count", "1500", "--seed", std::to_string(v + 1), "--out", path}, out, err) != 0)
         throw std::runtime_error(err.str());
     }},
    {"imported corpus",
     [](int v, const std::string& path) {
       ImportCorpus(g_importInputs[v], path, [](int64_t, const std::string&) {});
     }},
};

// Runs the save in a forked child; true when it finished and exited 0.
bool SaveInChild(const SaveKind& kind, int variant, const std::string& path) {
  pid_t pid = fork();
  if (pid == 0) {
    try {
      kind.save(variant, path);
      _exit(0);
    } catch (...) {
      _exit(1);
    }
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Everything in the folder but the kept files (the temporary files of killed saves).
void RemoveAllBut(const std::filesystem::path& folder, const std::vector<std::string>& keep) {
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (std::find(keep.begin(), keep.end(), entry.path().string()) == keep.end())
      std::filesystem::remove(entry.path());
}

TEST(InterruptedSaves, LeaveTheOldFileOrTheNewOneWhole) {
  // A kill stops the process, not the machine: this shows that no moment of a save leaves part of
  // a file in the target's place (the fsyncs before and after the rename cover a power cut).
  std::mt19937 random(20261207);
  test::TempDir inputs;
  for (int v = 0; v < 2; ++v) {
    g_texts[v] = LargeText(v);
    g_matrices[v].Reset(200, 200);
    for (int32_t r = 1; r <= 200; ++r)
      for (int32_t c = 1; c <= 200; ++c)
        g_matrices[v].SetValue(r, c, static_cast<float>((r * 31 + c * 17 + v) % 97) / 97);
    g_importInputs[v] = inputs.Path("corpus-" + std::to_string(v) + ".jsonl");
    std::ofstream out(g_importInputs[v], std::ios::binary);
    GenerateCorpus(1000, static_cast<uint64_t>(v) + 1, out);
  }
  for (const SaveKind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    test::TempDir dir;
    // The reference contents are saved by children too, so this process never starts what a fork
    // could not carry over (Qt's state, threads).
    std::filesystem::create_directory(dir.Root() / "work");
    const std::string target = dir.Path("work/target");
    const std::string reference[2] = {dir.Path("reference-0"), dir.Path("reference-1")};
    auto started = Clock::now();
    ASSERT_TRUE(SaveInChild(kind, 0, reference[0]));
    ASSERT_TRUE(SaveInChild(kind, 1, reference[1]));
    const auto saveTime = std::max<Clock::duration>((Clock::now() - started) / 2, std::chrono::milliseconds(1));
    const std::string expected[2] = {ReadAll(reference[0]), ReadAll(reference[1])};
    ASSERT_FALSE(expected[0].empty());
    ASSERT_NE(expected[0], expected[1]);
    ASSERT_TRUE(SaveInChild(kind, 0, target));
    const std::vector<std::string> keep = {target};

    int kills = 0;
    int seen[2] = {0, 0};
    // At least six kills and a couple of seconds, and on until both contents have turned up, within
    // a hard limit for a slow machine.
    const auto start = Clock::now();
    auto enough = [&] {
      auto spent = Clock::now() - start;
      if (kills >= 300 || spent > std::chrono::seconds(30)) return true;
      return kills >= 6 && seen[0] > 0 && seen[1] > 0 && spent > std::chrono::seconds(2);
    };
    while (!enough()) {
      pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        // Saves the other content, then alternates, until killed.
        for (int v = ReadAll(target) == expected[0] ? 1 : 0;; v ^= 1) {
          try {
            kind.save(v, target);
          } catch (...) {
            _exit(1);
          }
        }
      }
      std::uniform_int_distribution<int64_t> wait(
          0, std::chrono::duration_cast<std::chrono::microseconds>(saveTime * 3 / 2).count());
      std::this_thread::sleep_for(std::chrono::microseconds(wait(random)));
      kill(pid, SIGKILL);
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself";
      ++kills;
      std::string now = ReadAll(target);
      if (now == expected[0]) {
        ++seen[0];
      } else if (now == expected[1]) {
        ++seen[1];
      } else {
        FAIL() << "after kill " << kills << " the file holds " << now.size() << " bytes, neither whole content ("
               << expected[0].size() << " or " << expected[1].size() << ")";
      }
      RemoveAllBut(dir.Root() / "work", keep);
    }
    // Both contents turned up, so saves did finish between kills and the check saw them.
    EXPECT_GT(seen[0], 0) << kills << " kills";
    EXPECT_GT(seen[1], 0) << kills << " kills";
  }
}

// A stop signal in the middle of an import removes its temporary file; what a killed import leaves
// is removed by the next save of the same target.
TEST(InterruptedSaves, StopSignalsAndLaterSavesLeaveNoTemporaries) {
  test::TempDir dir;
  const std::string input = dir.Path("in.jsonl");
  {
    std::ofstream out(input, std::ios::binary);
    GenerateCorpus(20000, 3, out);
  }
  const std::string target = dir.Path("out.sqlite");
  auto temporaries = [&] {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Root())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("out.sqlite.", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp") ++count;
    }
    return count;
  };
  for (int signal : {SIGINT, SIGTERM, SIGKILL}) {
    SCOPED_TRACE(signal);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      RemoveTemporariesOnStopSignals();
      try {
        ImportCorpus(input, target, [](int64_t, const std::string&) {});
      } catch (...) {
      }
      _exit(0);
    }
    const auto start = Clock::now();
    while (temporaries() == 0 && Clock::now() - start < std::chrono::seconds(60))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "the import ended before the signal";
    EXPECT_EQ(temporaries(), signal == SIGKILL ? 1 : 0);
  }
  ReplaceFile(target, "later");
  EXPECT_EQ(temporaries(), 0);
}

}  // namespace
}  // namespace wendrel
