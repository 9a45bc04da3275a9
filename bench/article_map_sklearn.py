#!/usr/bin/env python3
# The article map's text stages done by scikit-learn and SciPy on the same synthetic corpora as
# bench/article_map_bench.cpp, for comparison: tf-idf matrix, cosine similarities and the minimum
# spanning tree of 1 - similarity, each stage timed, with the process's peak memory.
#
# Needs scikit-learn and SciPy, which the project does not install; on Debian:
#   sudo apt-get install python3-sklearn python3-scipy
# Usage: /usr/bin/python3 bench/article_map_sklearn.py PATH/TO/wendrel [--realistic-vocabulary] [SIZE ...]
# (default sizes 1000 5000 20000; the Debian packages belong to the system Python, not to one
# installed beside it). The corpora come from `wendrel corpus generate --count SIZE` (seed 1), with
# the realistic vocabulary when asked, as in the C++ benchmark. The peak memory is the process's
# since it started: run one size a process to compare it with one size of the C++ benchmark.
#
# The settings follow the map's: lower-cased tokens of 3 to 15 letters, the shipped stop words,
# document frequency from 2 to 75 % of the documents, tf x idf. Differences: the tokeniser is
# scikit-learn's, idf is ln(N / df) + 1 rather than ln(N / df), there is no per-letter vocabulary
# cap, and the documents are L2-normalised (cosines are unchanged by that).
import json
import os
import resource
import subprocess
import sys
import tempfile
import time

from scipy.sparse import triu
from scipy.sparse.csgraph import minimum_spanning_tree
from sklearn.feature_extraction.text import TfidfVectorizer
from sklearn.metrics.pairwise import cosine_similarity

HERE = os.path.dirname(os.path.abspath(__file__))


def peak_megabytes():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0


def corpus(wendrel, size, realistic):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "corpus.jsonl")
        options = ["--realistic-vocabulary"] if realistic else []
        subprocess.run([wendrel, "corpus", "generate", "--count", str(size), *options, "--out", path], check=True,
                       stdout=subprocess.DEVNULL)
        with open(path, encoding="utf-8") as lines:
            return [" ".join((p["title"], p["abstract"])) for p in map(json.loads, lines)]


def stop_words():
    with open(os.path.join(HERE, "..", "data", "common_words.txt"), encoding="utf-8", errors="replace") as words:
        return sorted({w.strip().lower() for w in words if len(w.strip()) >= 3})


def run(documents):
    # Each stage's wall-clock seconds and, as *_cpu_s, the processor seconds of the process (on a
    # busy machine the stage's own work).
    times = {}
    start, cpu = time.perf_counter(), time.process_time()
    vectorizer = TfidfVectorizer(lowercase=True, token_pattern=r"(?u)\b[^\W\d_]{3,15}\b", stop_words=stop_words(),
                                 min_df=2, max_df=0.75, smooth_idf=False)
    matrix = vectorizer.fit_transform(documents)
    times["tfidf_s"], times["tfidf_cpu_s"] = time.perf_counter() - start, time.process_time() - cpu

    start, cpu = time.perf_counter(), time.process_time()
    similarity = cosine_similarity(matrix, dense_output=False)
    times["similarity_s"], times["similarity_cpu_s"] = time.perf_counter() - start, time.process_time() - cpu

    start, cpu = time.perf_counter(), time.process_time()
    # Only pairs that share a term are candidate links; a tiny offset keeps identical documents
    # (distance 0) from reading as "no link".
    distances = triu(similarity, k=1).tocsr()
    distances.data = 1.0 - distances.data + 1e-9
    tree = minimum_spanning_tree(distances)
    times["tree_s"], times["tree_cpu_s"] = time.perf_counter() - start, time.process_time() - cpu
    times["terms"] = matrix.shape[1]
    times["similarity_nonzeros"] = similarity.nnz
    times["tree_links"] = tree.nnz
    return times


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: article_map_sklearn.py PATH/TO/wendrel [--realistic-vocabulary] [SIZE ...]")
    wendrel = sys.argv[1]
    realistic = "--realistic-vocabulary" in sys.argv[2:]
    sizes = [int(s) for s in sys.argv[2:] if s != "--realistic-vocabulary"] or [1000, 5000, 20000]
    for size in sizes:
        documents = corpus(wendrel, size, realistic)
        times = run(documents)
        fields = "  ".join(f"{k}={v:.3f}" if isinstance(v, float) else f"{k}={v}" for k, v in times.items())
        print(f"documents={size}  {fields}  peak_MB={peak_megabytes():.0f}", flush=True)


if __name__ == "__main__":
    main()
