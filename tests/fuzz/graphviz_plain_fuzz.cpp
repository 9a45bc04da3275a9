// Graphviz plain output read back into node positions (Spatial::LoadGVPlain reads "gvout.txt" of
// its work folder), for a graph of 32 nodes numbered from 1 as the article map numbers them.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "layout/spatial.h"
#include "platform/process_runner.h"
#include "platform/scripted_host.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr int32_t kNodes = 32;
  fuzz::WriteInput("gvout.txt", data, size);
  ScriptedHost host;
  PosixProcessRunner runner;
  Spatial graph(host, runner);
  graph.SetWorkFolder(fuzz::ProcessFolder().Root().string());
  try {
    graph.LoadGVPlain("", 1, kNodes);
  } catch (const LayoutError&) {
    return 0;
  }
  for (int32_t n = 0; n < graph.NodeCount(); ++n) {
    (void)graph.X(n);
    (void)graph.Y(n);
  }
  (void)graph.MinX();
  (void)graph.MaxX();
  (void)graph.MinY();
  (void)graph.MaxY();
  return 0;
}
