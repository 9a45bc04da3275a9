// wendrel network: a proximity matrix file reduced to a network and written for Graphviz or as
// matrix text.
#include "cli/network_command.h"

#include <cmath>
#include <fstream>
#include <optional>
#include <ostream>

#include "cli/arguments.h"
#include "platform/replacing_file.h"
#include "proximity/proximity_matrix.h"

namespace wendrel {
namespace {

constexpr const char* kUsage =
    "usage: wendrel network --matrix FILE.tsv [--kind 1|2|3|4]\n"
    "                       (--mst [START] | --knn K | --pathfinder R [Q] | --geodesic)\n"
    "                       [--dot OUT.dot | --csv OUT.txt]\n"
    "Reads a tab-separated square matrix (the first line gives the node count) and keeps its salient\n"
    "links.\n"
    "  --kind K           1 document similarities (default), 2 term similarities, 3 document\n"
    "                     distances, 4 term distances\n"
    "  --mst [START]      spanning tree of the links valued 0 to 1 (strongest similarities or\n"
    "                     shortest distances), grown from node START (from 0; default the best link)\n"
    "  --knn K            links to each node's K nearest neighbours\n"
    "  --pathfinder R [Q] Pathfinder network, Minkowski r = R (0 = infinity), at most Q links a path\n"
    "  --geodesic         shortest-path distances\n"
    "  --dot OUT.dot      the network as dot text for Graphviz, nodes numbered from 1, lengths\n"
    "                     1 - similarity or the distance\n"
    "  --csv OUT.txt      the network's matrix text (comma-separated, CR line ends)\n"
    "Prints the number of links kept.\n";

int32_t LinksKept(const ProximityMatrix& m) {
  int32_t links = 0;
  for (int32_t i = 0; i < m.NodeCount(); ++i)
    for (int32_t j = i + 1; j < m.NodeCount(); ++j) {
      float v = m.Value(i, j);
      if (v != -1 && v != ProximityMatrix::kNoLink) ++links;
    }
  return links;
}

bool WriteFile(const std::string& path, const std::string& text, std::ostream& err) {
  try {
    ReplaceFile(path, text);
    return true;
  } catch (const ReplaceError& e) {
    err << "wendrel network: " << e.what() << "\n";
    return false;
  }
}

int32_t WholeNumber(const std::string& text, const std::string& option, long long min, long long max) {
  size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < min || value > max)
    throw UsageError(option + " needs a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  return static_cast<int32_t>(value);
}

}  // namespace

int RunNetwork(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kUsage;
    return 0;
  }
  try {
    Arguments a(args, {"--matrix", "--kind", "--knn", "--pathfinder", "--dot", "--csv"}, {"--mst", "--geodesic"}, 1);
    const std::string path = a.Required("--matrix");
    const auto kind = static_cast<int32_t>(a.Number("--kind", 1, 1, 4));
    const int reductions = a.Has("--mst") + a.Has("--knn") + a.Has("--pathfinder") + a.Has("--geodesic");
    if (reductions != 1) throw UsageError("give exactly one of --mst, --knn, --pathfinder, --geodesic");
    if (a.Has("--dot") && a.Has("--csv")) throw UsageError("give --dot or --csv, not both");
    // The one plain argument is --mst's START or --pathfinder's Q.
    const std::optional<std::string> extra =
        a.Plain().empty() ? std::nullopt : std::optional<std::string>(a.Plain().front());
    if (extra && !a.Has("--mst") && !a.Has("--pathfinder")) throw UsageError("unexpected argument " + *extra);

    ProximityMatrix matrix(host);
    if (!matrix.LoadMatrix(path, 0, kind)) {
      err << "wendrel network: cannot read a matrix from " << path
          << " (missing, empty, or fewer rows than its first line has columns)\n";
      return 1;
    }
    std::optional<ProximityMatrix> network;
    if (a.Has("--mst")) {
      int32_t start = extra ? WholeNumber(*extra, "--mst", 0, matrix.NodeCount() - 1) : -1;
      network = matrix.Transform2MST(start);
    } else if (a.Has("--knn")) {
      auto k = static_cast<int32_t>(a.Number("--knn", 1, 1, 2147483647));
      network = matrix.Transform2KNN(k);
    } else if (a.Has("--pathfinder")) {
      auto r = static_cast<uint8_t>(a.Number("--pathfinder", 0, 0, 255));
      if (extra) {
        // The limited Pathfinder works on distances.
        if (kind <= 2) matrix.Sim2Dis();
        network = matrix.FastPFQ(r, WholeNumber(*extra, "Q", 1, 2147483647));
      } else {
        network = matrix.Transform2FastPF(r);
      }
    } else {
      network = matrix.Transform2Geodesic();
    }

    if (auto dot = a.Value("--dot")) {
      const bool similarities = network->CurrentMatrixType() <= 2;
      // Distances: every present link (absent -1 and the no-link distance stay out).
      const float maxLength = similarities ? 1.0f : std::nextafter(ProximityMatrix::kNoLink, 0.0f);
      uint8_t firstNode = 1;
      if (!WriteFile(*dot, network->Matrix2Dot(1, firstNode, "", 0, maxLength), err)) return 1;
    } else if (auto csv = a.Value("--csv")) {
      if (!WriteFile(*csv, network->Matrix2IVCSparse(), err)) return 1;
    }
    out << "links kept: " << LinksKept(*network) << "\n";
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel network: " << e.what() << " (see --help)\n";
    return 2;
  }
}

}  // namespace wendrel
