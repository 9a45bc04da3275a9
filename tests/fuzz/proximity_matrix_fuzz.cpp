// Tab-separated proximity matrices read by LoadMatrix, as `wendrel network --matrix` reads them,
// then reduced to a spanning tree and a nearest-neighbour network when they are small.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "platform/scripted_host.h"
#include "proximity/proximity_matrix.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("matrix.txt", data, size);
  ScriptedHost host;
  // Similarities (kind 1) as the command's default; the kind only labels the values read.
  ProximityMatrix matrix(host);
  if (!matrix.LoadMatrix(path, 0, 1)) return 0;
  const int32_t n = matrix.NodeCount();
  if (n > 64) return 0;
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = 0; j < n; ++j) (void)matrix.Value(i, j);
  int32_t start = -1;
  (void)matrix.Transform2MST(start);
  int32_t k = 2;
  (void)matrix.Transform2KNN(k);
  return 0;
}
