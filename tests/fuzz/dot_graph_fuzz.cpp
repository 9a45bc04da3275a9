// Dot text read back into the laid-out graph's edge list (Spatial::SetGraphFromDot), with node
// numbers starting at 1 as the article map gives them and at 0.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "layout/spatial.h"
#include "platform/process_runner.h"
#include "platform/scripted_host.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  ScriptedHost host;
  PosixProcessRunner runner;
  for (int32_t firstNode : {1, 0}) {
    Spatial graph(host, runner);
    try {
      graph.SetGraphFromDot(text, firstNode);
    } catch (const LayoutError&) {
      continue;
    }
    for (int32_t e = 0; e < graph.EdgeCount(); ++e) (void)graph.Edge(e);
  }
  return 0;
}
