// ProximityMatrix: cosines and inner products between the documents or the terms of a
// term-document matrix.
#include <cmath>

#include "proximity/proximity_matrix.h"
#include "text/term_document_matrix.h"

namespace wendrel {

void ProximityMatrix::ComputeAngles(const std::vector<std::vector<std::pair<int32_t, double>>>& vectors, bool cosine,
                                    bool dissimilarity, int32_t kind) {
  const auto n = static_cast<int32_t>(vectors.size());
  InitMatrix(n, kind);
  std::vector<double> squaredLength(vectors.size(), 0.0);
  for (size_t d = 0; d < vectors.size(); ++d)
    for (const auto& [t, w] : vectors[d]) squaredLength[d] += w * w;
  for (int32_t d1 = 0; d1 < n; ++d1) {
    const auto& a = vectors[static_cast<size_t>(d1)];
    for (int32_t d2 = d1 + 1; d2 < n; ++d2) {
      const auto& b = vectors[static_cast<size_t>(d2)];
      // Only dimensions weighted in both add to the single-precision sum (the others add 0), in
      // ascending order as a full scan would.
      float dot = 0;
      for (size_t p = 0, q = 0; p < a.size() && q < b.size();) {
        if (a[p].first < b[q].first) ++p;
        else if (b[q].first < a[p].first) ++q;
        else dot = static_cast<float>(dot + a[p++].second * b[q++].second);
      }
      float value = dot;
      if (cosine) {
        double denominator = std::sqrt(squaredLength[static_cast<size_t>(d2)]) * std::sqrt(squaredLength[static_cast<size_t>(d1)]);
        value = denominator > 0 ? static_cast<float>(dot / denominator) : 0.0f;
        if (dissimilarity) value = 1 - value;
      }
      m_values[Cell(d1, d2)] = value;
      m_values[Cell(d2, d1)] = value;
    }
    m_host->DoEvents();
  }
}

void ProximityMatrix::ComputeDocAngles(const TermDocumentMatrix& tdm, int32_t scheme, bool normPreWeight, bool cosine,
                                       bool dissimilarity) {
  // TermWeight is 0 wherever the matrix holds nothing, so each document's weights are taken over
  // its stored terms only.
  std::vector<std::vector<std::pair<int32_t, double>>> vectors(static_cast<size_t>(std::max(tdm.DocCount(), 0)));
  for (int32_t d = 1; d <= tdm.DocCount(); ++d)
    for (int32_t t : tdm.Matrix().Vector(d).Indexes())
      if (t <= tdm.TermCount()) vectors[static_cast<size_t>(d - 1)].emplace_back(t, tdm.TermWeight(t, d, scheme, normPreWeight));
  ComputeAngles(vectors, cosine, dissimilarity, dissimilarity ? 3 : 1);
}

void ProximityMatrix::ComputeTermAngles(const TermDocumentMatrix& tdm, int32_t scheme, bool normPreWeight, bool cosine,
                                        bool dissimilarity) {
  std::vector<std::vector<std::pair<int32_t, double>>> vectors(static_cast<size_t>(std::max(tdm.TermCount(), 0)));
  for (int32_t d = 1; d <= tdm.DocCount(); ++d)
    for (int32_t t : tdm.Matrix().Vector(d).Indexes())
      if (t >= 1 && t <= tdm.TermCount())
        vectors[static_cast<size_t>(t - 1)].emplace_back(d, tdm.TermWeight(t, d, scheme, normPreWeight));
  ComputeAngles(vectors, cosine, dissimilarity, dissimilarity ? 4 : 2);
}

}  // namespace wendrel
