// wendrel map: RIS lists read into map articles, the map built and laid out, and drawn with the
// point map's own drawing into a PNG, with positions and dot text on request.
#include "cli/map_command.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <unordered_map>

#include "article_map/article_map.h"
#include "chain/duplicate_rule.h"
#include "chain/ris_reader.h"
#include "cli/arguments.h"
#include "cli/session_chain.h"
#include "platform/replacing_file.h"
#include "platform/scripted_host.h"
#include "platform/text_encoding.h"
#include "pointmap/article_look.h"
#include "pointmap/point_map.h"
#include "pointmap/qimage/qimage_surface.h"
#include "pointmap/recording_surface.h"

namespace wendrel {
namespace {

constexpr const char* kUsage =
    "usage: wendrel map (--ris FILE | --grow-dir DIR | --session FILE) [--second-order]\n"
    "                   [--node-size constant|log-citations|cited|citing] [--labels MIN_DEGREE]\n"
    "                   [--png OUT.png [--size WxH]] [--positions OUT.tsv] [--dot OUT.dot]\n"
    "                   [--layout-options \"-GNAME=VALUE ...\"]\n"
    "Builds the similarity map of articles from their titles and abstracts: a spanning tree of the\n"
    "most similar articles, laid out by Graphviz sfdp.\n"
    "  --ris FILE        a saved RIS list (TI or T1 titles, AB or N2 abstracts)\n"
    "  --grow-dir DIR    the lists `wendrel grow` wrote: pearls.ris, cited.ris and citing.ris, one node\n"
    "                    per distinct article (by the chain's rule: one title with years or first\n"
    "                    authors apart is two articles); pearls red, cited articles brown, citing\n"
    "                    ones green\n"
    "  --session FILE    the lists of a session file, as --grow-dir (no service needed)\n"
    "  --second-order    articles are similar when they are similar to the same articles\n"
    "  --node-size MODE  constant (default), log-citations (ln(times cited + 1.5)), cited (pearls\n"
    "                    citing it ^ 1.5), citing (pearls it cites ^ 1.5). RIS lists hold no counts:\n"
    "                    a grow folder's wos.txt gives times cited and pearls citing for the Cited\n"
    "                    List; otherwise a Cited or Citing List article counts one pearl, others 0\n"
    "  --labels N        label the nodes of tree degree N or more with their two strongest terms\n"
    "                    (default 3)\n"
    "  --png OUT.png     draws the map (edges, nodes, hub labels); --size WxH in pixels, default\n"
    "                    1600x1200\n"
    "  --positions OUT   tab-separated: node, chain_index, x, y, degree, label (one line per node)\n"
    "  --dot OUT.dot     the tree as Graphviz dot text\n"
    "  --layout-options  attributes for sfdp, each -G, -N or -E NAME=VALUE, separated by spaces\n"
    "                    (default -Gquadtree=fast; \"\" for sfdp's own defaults)\n"
    "Prints one line: nodes, edges and labelled hubs. Exit status 1 when a file cannot be read or\n"
    "written or the layout failed, 2 on a usage error.\n";

constexpr int kDefaultWidth = 1600;
constexpr int kDefaultHeight = 1200;
constexpr int kLargestSide = 16384;

// One article of the lists, with what the RIS files tell of its counts and lists.
struct ListArticle {
  std::string id;  // publication ID from the accession, empty when none
  MapArticle text;
  CCRecord record;
};

// The host of a map run: a message becomes one line on the error stream and gets the unattended
// answer.
class MapCommandHost : public Host {
 public:
  explicit MapCommandHost(std::ostream& err) : m_err(err) {}
  void DoEvents() override {}
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon,
                           MessageButtons buttons) override {
    std::string line = text;
    for (char& c : line)
      if (c == '\r' || c == '\n') c = ' ';
    m_err << "wendrel map: " << title << ": " << line << "\n";
    return DefaultAnswer(buttons);
  }
  void SetBusy(bool) override {}
  void SetClipboardText(const std::string&) override {}
  bool OpenAddress(const std::string&) override { return false; }

 private:
  std::ostream& m_err;
};

class FileError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return TextFromFileBytes(bytes.str());
}

// The records of a RIS text as map articles, read as the chain reads RIS (wrapped lines joined):
// the title and abstract to map, and the ID, year and first author that tell namesakes apart.
std::vector<ListArticle> RisArticles(const std::string& text) {
  std::vector<ListArticle> articles;
  for (RisReference& r : ReadRisReferences(text)) {
    ListArticle& article = articles.emplace_back();
    article.id = AccessionPublicationID(r.accession);
    article.text.Title = r.title;
    article.text.Abstract = std::move(r.abstract);
    article.record.PK = article.id;
    article.record.Title = std::move(r.title);
    article.record.Year = std::move(r.year);
    article.record.FirstAuthor = std::move(r.firstAuthor);
  }
  return articles;
}

std::vector<ListArticle> ReadRisArticles(const std::string& path) { return RisArticles(ReadText(path)); }

// The lines of a text, a CR before each LF dropped.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Times cited and pearls citing of the Cited List, by publication ID, from the tagged export.
std::unordered_map<std::string, std::pair<int16_t, int16_t>> CitedCounts(const std::string& text) {
  std::unordered_map<std::string, std::pair<int16_t, int16_t>> counts;
  std::string id;
  std::pair<int16_t, int16_t> record{0, 0};
  auto number = [](std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
  };
  for (std::string_view line : Lines(text)) {
    const std::string_view tag = line.substr(0, 3);
    const std::string value = Trimmed(line.substr(std::min<size_t>(3, line.size())));
    if (tag == "TC ") record.first = number(value);
    else if (tag == "PR ") record.second = number(value);
    else if (tag == "UT ") id = AccessionPublicationID(value);
    else if (line == "ER") {
      if (!id.empty()) counts[id] = record;
      id.clear();
      record = {0, 0};
    }
  }
  return counts;
}

// The texts a grow run writes: pearls.ris, cited.ris, citing.ris and wos.txt (empty when absent).
struct GrowLists {
  std::string ris[3];
  std::string wos;
};

// The three lists merged into one article each, in list order (pearls, cited, citing), by the
// chain's duplicate rule: the same publication ID, else the same title where the two may be the
// same work (one without an ID, or years and first authors agreeing), so that namesakes stay two
// nodes.
std::vector<ListArticle> MergeGrowLists(const GrowLists& lists) {
  std::vector<ListArticle> merged;
  std::unordered_map<std::string, size_t> byId;
  std::unordered_map<std::string, std::vector<size_t>> byTitle;
  for (int list = 0; list < 3; ++list) {
    for (ListArticle& article : RisArticles(lists.ris[list])) {
      std::optional<size_t> at;
      if (auto found = byId.find(article.id); !article.id.empty() && found != byId.end()) at = found->second;
      const std::string titleKey = LowerCaseText(article.text.Title);
      if (!at && !titleKey.empty()) {
        for (size_t k : byTitle[titleKey]) {
          const ListArticle& held = merged[k];
          if (held.id.empty() || article.id.empty() || MayBeSameWork(held.record, article.record)) {
            at = k;
            break;
          }
        }
      }
      if (!at) {
        at = merged.size();
        if (!article.id.empty()) byId.emplace(article.id, *at);
        if (!titleKey.empty()) byTitle[titleKey].push_back(*at);
        merged.push_back(std::move(article));
      }
      CCRecord& r = merged[*at].record;
      if (list == 0) r.IsPearl = true;
      // The lists say only that an article cites or is cited by some pearl: one at least.
      if (list == 1) {
        r.IsCited = true;
        r.CitedByPearls = 1;
      }
      if (list == 2) {
        r.IsCiting = true;
        r.CitesPearls = 1;
      }
    }
  }
  if (!lists.wos.empty()) {
    const auto counts = CitedCounts(lists.wos);
    for (ListArticle& article : merged) {
      auto found = counts.find(article.id);
      if (article.id.empty() || found == counts.end()) continue;
      article.record.CitationCount = found->second.first;
      article.record.CitedByPearls = found->second.second;
    }
  }
  return merged;
}

std::vector<ListArticle> ReadGrowFolder(const std::string& folder) {
  const std::filesystem::path dir(folder);
  GrowLists lists;
  const char* const files[] = {"pearls.ris", "cited.ris", "citing.ris"};
  for (int list = 0; list < 3; ++list) lists.ris[list] = ReadText((dir / files[list]).string());
  const std::string wos = (dir / "wos.txt").string();
  if (std::filesystem::exists(wos)) lists.wos = ReadText(wos);
  return MergeGrowLists(lists);
}

// A session's lists, as a grow run into a folder would write them at this point.
std::vector<ListArticle> ReadSessionLists(const std::string& path) {
  SessionChain session(path);
  const MASCitationChain& chain = session.Chain();
  GrowLists lists;
  lists.ris[0] = chain.RISText(ChainList::Pearls);
  lists.ris[1] = chain.RISText(ChainList::Cited);
  lists.ris[2] = chain.RISText(ChainList::Citing);
  lists.wos = chain.WOSText(ChainList::Cited);
  return MergeGrowLists(lists);
}

NodeSize NodeSizeOption(const std::string& name) {
  const char* const names[] = {"constant", "log-citations", "cited", "citing"};
  for (int size = 0; size < 4; ++size)
    if (name == names[size]) return static_cast<NodeSize>(size);
  throw UsageError("--node-size takes constant, log-citations, cited or citing");
}

std::pair<int, int> ImageSize(const std::string& text) {
  int width = 0, height = 0;
  const size_t x = text.find('x');
  const char* end = text.data() + text.size();
  const bool ok = x != std::string::npos &&
                  std::from_chars(text.data(), text.data() + x, width).ptr == text.data() + x &&
                  std::from_chars(text.data() + x + 1, end, height).ptr == end;
  if (!ok || width < 1 || height < 1 || width > kLargestSide || height > kLargestSide)
    throw UsageError("--size takes WIDTHxHEIGHT in pixels, each 1 to " + std::to_string(kLargestSide));
  return {width, height};
}

void WriteFile(const std::string& path, const std::string& text) {
  try {
    ReplaceFile(path, text);
  } catch (const ReplaceError& e) {
    throw FileError(e.what());
  }
}

std::string Number(float value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string PositionsText(const ArticleMap& map, const std::vector<int32_t>& degrees,
                          const std::vector<std::string>& labels) {
  std::string text = "node\tchain_index\tx\ty\tdegree\tlabel\n";
  for (int32_t n = 0; n < map.MapGraph->NodeCount(); ++n) {
    const auto i = static_cast<size_t>(n);
    text += std::to_string(n) + '\t' + std::to_string(n + 1) + '\t' + Number(map.MapGraph->X(n)) + '\t' +
            Number(map.MapGraph->Y(n)) + '\t' + std::to_string(degrees[i]) + '\t' + labels[i] + '\n';
  }
  return text;
}

void DrawPng(const ArticleMap& map, const std::vector<ListArticle>& articles, NodeSize nodeSize,
             const std::vector<std::string>& labels, std::pair<int, int> size, const std::string& path) {
  EnsureGuiApplication();
  HeadlessMapWindow window;
  QImageSurface surface(size.first, size.second);
  PointMap2D dvis;
  dvis.InitializePM2DCtl(window, &surface);
  ApplyArticleMapLook(dvis, surface);
  surface.Clear();
  dvis.SetCoordinates(map.MapGraph);
  dvis.SetShowNodeLabels(true);
  std::vector<CCRecord> records;
  std::vector<bool> pearls;
  for (size_t n = 0; n < articles.size(); ++n) {
    const CCRecord& r = articles[n].record;
    records.push_back(r);
    pearls.push_back(r.IsPearl);
    const auto node = static_cast<int32_t>(n);
    dvis.SetNodeCluster(node, r.IsPearl ? kPearlCluster : r.IsCited ? kCitedCluster : r.IsCiting ? kCitingCluster : 0);
    dvis.SetNodeLabel(node, labels[n]);
  }
  dvis.SetLabelPlacement(ArticleLabelPlacement(TreeDegrees(map), pearls));
  if (nodeSize != NodeSize::Constant) dvis.SetNodeWeights(NodeSizeWeights(records, nodeSize));
  // A still picture has no selected or hovered node.
  dvis.SetSelectedNode(-1);
  dvis.SetHoverNode(-1);
  dvis.RenderView(true, false);
  if (std::string why; !surface.SavePng(path, &why)) throw FileError("cannot write " + path + ": " + why);
}

// Layout options are attributes only (-GNAME=VALUE, -N..., -E...): nothing that names a file or an
// output format of the layout program, nor quotes that would change how its command line splits.
void CheckLayoutOptions(const std::string& options) {
  std::istringstream words(options);
  for (std::string word; words >> word;) {
    const bool attribute = word.size() > 3 && word[0] == '-' && (word[1] == 'G' || word[1] == 'N' || word[1] == 'E') &&
                           word.find('=') != std::string::npos && word.find('"') == std::string::npos;
    if (!attribute) throw UsageError("--layout-options takes -G, -N or -E NAME=VALUE attributes, not '" + word + "'");
  }
  if (options.find_first_of("\t\r\n\"") != std::string::npos)
    throw UsageError("--layout-options takes attributes separated by spaces");
}

}  // namespace

int RunMap(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kUsage;
    return 0;
  }
  try {
    Arguments a(args,
                {"--ris", "--grow-dir", "--session", "--node-size", "--labels", "--png", "--size", "--positions", "--dot",
                 "--layout-options"},
                {"--second-order"});
    if (a.Has("--ris") + a.Has("--grow-dir") + a.Has("--session") != 1)
      throw UsageError("give one of --ris FILE, --grow-dir DIR or --session FILE");
    const NodeSize nodeSize = NodeSizeOption(a.Value("--node-size").value_or("constant"));
    const auto minDegree = static_cast<int>(a.Number("--labels", 3, 0, 2147483647));
    if (a.Has("--size") && !a.Has("--png")) throw UsageError("--size goes with --png");
    const auto size = a.Has("--size") ? ImageSize(*a.Value("--size")) : std::pair{kDefaultWidth, kDefaultHeight};
    const std::optional<std::string> layoutOptions = a.Value("--layout-options");
    if (layoutOptions) CheckLayoutOptions(*layoutOptions);

    const std::vector<ListArticle> articles = a.Has("--ris")        ? ReadRisArticles(*a.Value("--ris"))
                                              : a.Has("--grow-dir") ? ReadGrowFolder(*a.Value("--grow-dir"))
                                                                    : ReadSessionLists(*a.Value("--session"));
    std::vector<MapArticle> texts;
    for (const ListArticle& article : articles) texts.push_back(article.text);

    MapCommandHost host(err);
    MapBuildSettings settings;
    settings.SecondOrder = a.Has("--second-order");
    if (layoutOptions) settings.GraphvizOptions = *layoutOptions;
    PosixProcessRunner runner;
    const ArticleMap map = BuildArticleMap(texts, host, runner, settings);

    if (auto dot = a.Value("--dot")) WriteFile(*dot, map.DotText);
    // The host has told why the layout failed; positions and a picture of it would mislead.
    if (!map.LayoutFailure.empty()) return 1;

    const std::vector<int32_t> degrees = TreeDegrees(map);
    const std::vector<std::string> labels = HubLabels(map, minDegree);
    if (auto positions = a.Value("--positions")) WriteFile(*positions, PositionsText(map, degrees, labels));
    if (auto png = a.Value("--png")) DrawPng(map, articles, nodeSize, labels, size, *png);

    size_t hubs = 0;
    for (const std::string& label : labels) hubs += !label.empty();
    out << "nodes: " << map.MapGraph->NodeCount() << ", edges: " << map.MapGraph->EdgeCount()
        << ", labelled hubs: " << hubs << "\n";
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel map: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const std::exception& e) {
    err << "wendrel map: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
