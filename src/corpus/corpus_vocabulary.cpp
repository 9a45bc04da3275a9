#include "corpus/corpus_vocabulary.h"

#include <iterator>

#include "corpus/corpus_generator.h"

namespace wendrel {

namespace {

using W = std::string_view;

// Machine learning
constexpr W kMlSubjects[] = {"feature selection", "representation learning", "model selection",
    "label noise", "class imbalance", "generalization error", "transfer learning", "active learning",
    "semi-supervised classification", "anomaly detection", "hyperparameter optimization",
    "online learning", "metric learning", "dimensionality reduction", "multi-task learning",
    "out-of-distribution detection", "few-shot learning", "model calibration", "concept drift",
    "naïve Bayes classifiers"};
constexpr W kMlQualities[] = {"robust", "scalable", "sparse", "interpretable", "probabilistic",
    "distributed", "adversarial", "regularized", "nonparametric", "efficient"};
constexpr W kMlMethods[] = {"support vector machines", "gradient boosting", "random forests",
    "kernel methods", "deep neural networks", "variational inference", "Gaussian processes",
    "stochastic gradient descent", "ensemble methods", "contrastive objectives", "Bayesian optimization"};
constexpr W kMlJournals[] = {"Journal of Statistical Learning Research", "Machine Learning Review"};
constexpr W kMlConferences[] = {"International Conference on Learning Systems",
    "Workshop on Learning Theory and Practice"};

// Information retrieval
constexpr W kIrSubjects[] = {"query expansion", "relevance feedback", "document ranking",
    "learning to rank", "query log analysis", "retrieval evaluation", "test collections",
    "inverted index compression", "passage retrieval", "search result diversification",
    "click models", "entity linking", "query suggestion", "collaborative filtering",
    "recommender systems", "citation recommendation", "federated search", "snippet generation"};
constexpr W kIrQualities[] = {"personalized", "dense", "sparse", "interactive", "conversational",
    "cross-lingual", "context-aware", "large-scale"};
constexpr W kIrMethods[] = {"language models", "BM25 weighting", "pseudo-relevance feedback",
    "matrix factorization", "neural ranking models", "probabilistic retrieval models",
    "pairwise preference learning", "term proximity features", "user simulation"};
constexpr W kIrJournals[] = {"Journal of Information Retrieval Research", "Information Processing and Access"};
constexpr W kIrConferences[] = {"Conference on Research in Information Retrieval",
    "Symposium on Search and Recommendation"};

// Computer networks
constexpr W kNetSubjects[] = {"congestion control", "packet scheduling", "routing protocols",
    "wireless sensor networks", "network coding", "traffic classification", "software-defined networking",
    "mobile ad hoc networks", "content delivery networks", "queue management", "link failures",
    "network measurement", "energy consumption", "peer-to-peer overlays", "medium access control",
    "interdomain routing", "datacenter networks", "packet loss"};
constexpr W kNetQualities[] = {"low-latency", "fault-tolerant", "adaptive", "decentralized",
    "energy-efficient", "secure", "programmable", "multipath"};
constexpr W kNetMethods[] = {"queueing models", "active queue management", "flow scheduling",
    "trace-driven simulation", "game-theoretic analysis", "distributed hash tables",
    "linear programming relaxations", "in-network telemetry", "erasure codes"};
constexpr W kNetJournals[] = {"Transactions on Networking Systems", "Computer Communication Review Letters"};
constexpr W kNetConferences[] = {"Symposium on Networked Systems",
    "International Conference on Network Protocols and Services"};

// Databases
constexpr W kDbSubjects[] = {"query optimization", "transaction processing", "concurrency control",
    "index structures", "join algorithms", "data cleaning", "schema matching", "cardinality estimation",
    "stream processing", "data provenance", "view maintenance", "data integration",
    "column stores", "graph databases", "crash recovery", "spatial queries", "approximate query answering"};
constexpr W kDbQualities[] = {"incremental", "declarative", "parallel", "main-memory", "adaptive",
    "consistent", "cost-based", "distributed"};
constexpr W kDbMethods[] = {"B-trees", "log-structured merge trees", "multiversion concurrency control",
    "sampling-based estimators", "query compilation", "bloom filters", "materialized views",
    "dynamic programming", "write-ahead logging"};
constexpr W kDbJournals[] = {"Journal of Data Management Systems", "Transactions on Database Engineering"};
constexpr W kDbConferences[] = {"International Conference on Very Large Data Management",
    "Symposium on Principles of Data Systems"};

// Computer vision
constexpr W kCvSubjects[] = {"object detection", "semantic segmentation", "image retrieval",
    "optical flow", "pose estimation", "stereo matching", "image denoising", "scene understanding",
    "visual tracking", "face recognition", "image captioning", "depth estimation", "action recognition",
    "3D reconstruction", "super-resolution", "camera calibration", "edge detection"};
constexpr W kCvQualities[] = {"real-time", "weakly supervised", "multi-scale", "unsupervised",
    "illumination-invariant", "dense", "self-supervised", "occlusion-aware"};
constexpr W kCvMethods[] = {"convolutional networks", "graph cuts", "local descriptors",
    "conditional random fields", "attention mechanisms", "structure from motion",
    "bag-of-visual-words models", "deformable part models", "vision transformers"};
constexpr W kCvJournals[] = {"International Journal of Visual Computing", "Transactions on Image Analysis"};
constexpr W kCvConferences[] = {"Conference on Vision and Pattern Analysis",
    "European Symposium on Image Understanding"};

// Natural language processing
constexpr W kNlpSubjects[] = {"machine translation", "named entity recognition", "sentiment analysis",
    "dependency parsing", "coreference resolution", "text summarization", "question answering",
    "word sense disambiguation", "topic modeling", "discourse structure", "morphological analysis",
    "language identification", "text classification", "relation extraction", "speech recognition",
    "part-of-speech tagging", "lexical semantics"};
constexpr W kNlpQualities[] = {"multilingual", "low-resource", "contextual", "neural", "syntactic",
    "character-level", "unsupervised", "domain-adapted"};
constexpr W kNlpMethods[] = {"word embeddings", "recurrent networks", "transformer encoders",
    "latent Dirichlet allocation", "conditional random fields", "sequence-to-sequence models",
    "hidden Markov models", "beam search", "distant supervision"};
constexpr W kNlpJournals[] = {"Computational Linguistics Quarterly", "Journal of Natural Language Engineering"};
constexpr W kNlpConferences[] = {"Annual Meeting on Computational Linguistics",
    "Conference on Empirical Methods in Language Processing"};

// Genomics
constexpr W kGenSubjects[] = {"gene expression", "DNA methylation", "genomic imprinting",
    "transcription factor binding", "alternative splicing", "copy number variation", "chromatin accessibility",
    "genome assembly", "single-cell transcriptomics", "regulatory variants", "loss of imprinting",
    "histone modification", "non-coding RNA", "genotype imputation", "epigenetic inheritance",
    "sequence alignment", "mutational signatures"};
constexpr W kGenQualities[] = {"genome-wide", "allele-specific", "tissue-specific", "comparative",
    "high-throughput", "quantitative", "integrative", "longitudinal"};
constexpr W kGenMethods[] = {"bisulfite sequencing", "RNA-seq", "polymerase chain reaction",
    "microarray profiling", "chromatin immunoprecipitation", "CRISPR screens", "mixed linear models",
    "hidden Markov models", "long-read sequencing"};
constexpr W kGenJournals[] = {"Journal of Human Genome Biology", "Molecular Genetics and Epigenomics"};
constexpr W kGenConferences[] = {"Conference on Computational Genomics", "Symposium on Functional Genomics"};

// Neuroscience
constexpr W kNeuSubjects[] = {"synaptic plasticity", "working memory", "place cells",
    "cortical oscillations", "neurogenesis", "motor learning", "sensory adaptation", "neural coding",
    "dopamine signalling", "retinal circuits", "Müller glia", "decision making", "sleep spindles",
    "axon guidance", "neuroinflammation", "auditory processing", "spike timing"};
constexpr W kNeuQualities[] = {"hippocampal", "prefrontal", "cortical", "inhibitory", "dendritic",
    "developmental", "behavioural", "thalamic"};
constexpr W kNeuMethods[] = {"two-photon imaging", "optogenetics", "patch-clamp recordings",
    "functional MRI", "spiking network models", "calcium imaging", "electroencephalography",
    "lesion studies", "tract tracing"};
constexpr W kNeuJournals[] = {"Journal of Systems Neuroscience", "Neural Circuits and Behaviour"};
constexpr W kNeuConferences[] = {"Meeting on Computational Neuroscience", "Symposium on Brain Dynamics"};

// Epidemiology
constexpr W kEpiSubjects[] = {"disease surveillance", "vaccine effectiveness", "cardiovascular risk",
    "childhood obesity", "antimicrobial resistance", "outbreak detection", "health inequalities",
    "cancer screening", "air pollution exposure", "maternal health", "smoking cessation",
    "infectious disease transmission", "mortality trends", "hospital readmission", "dietary intake",
    "mental health outcomes", "contact tracing"};
constexpr W kEpiQualities[] = {"population-based", "prospective", "retrospective", "cross-sectional",
    "socioeconomic", "randomized", "regional", "nationwide"};
constexpr W kEpiMethods[] = {"cohort studies", "case-control designs", "Cox regression",
    "compartmental models", "propensity score matching", "meta-analysis", "multilevel models",
    "interrupted time series", "Mendelian randomization"};
constexpr W kEpiJournals[] = {"Journal of Population Health", "Epidemiology and Public Health Reports"};
constexpr W kEpiConferences[] = {"Congress on Epidemiology", "Conference on Public Health Informatics"};

// Climate science
constexpr W kClimSubjects[] = {"sea level rise", "ocean heat content", "monsoon variability",
    "Arctic sea ice", "extreme precipitation", "carbon uptake", "aerosol forcing", "permafrost thaw",
    "glacier mass balance", "drought frequency", "cloud feedbacks", "El Niño teleconnections",
    "land surface temperature", "ocean acidification", "heat waves", "snow cover"};
constexpr W kClimQualities[] = {"regional", "decadal", "coupled", "high-resolution", "observational",
    "seasonal", "transient", "global"};
constexpr W kClimMethods[] = {"general circulation models", "ensemble simulations", "satellite altimetry",
    "reanalysis data", "statistical downscaling", "ice core records", "optimal fingerprinting",
    "radiative transfer models", "data assimilation"};
constexpr W kClimJournals[] = {"Journal of Climate Dynamics", "Atmospheric and Ocean Sciences Letters"};
constexpr W kClimConferences[] = {"Assembly on Earth System Science", "Workshop on Climate Modelling"};

// Materials science
constexpr W kMatSubjects[] = {"grain boundaries", "thin film growth", "fracture toughness",
    "thermal conductivity", "phase transformations", "corrosion resistance", "lithium-ion cathodes",
    "perovskite solar cells", "dislocation dynamics", "high-entropy alloys", "polymer composites",
    "catalytic activity", "magnetic anisotropy", "creep behaviour", "surface passivation", "band gap engineering"};
constexpr W kMatQualities[] = {"nanostructured", "amorphous", "porous", "ultrathin", "layered",
    "defect-tolerant", "anisotropic", "crystalline"};
constexpr W kMatMethods[] = {"density functional theory", "molecular dynamics", "X-ray diffraction",
    "transmission electron microscopy", "atomic layer deposition", "phase-field models",
    "nanoindentation", "Raman spectroscopy", "high-throughput screening"};
constexpr W kMatJournals[] = {"Journal of Materials Research and Design", "Advanced Functional Materials Letters"};
constexpr W kMatConferences[] = {"Conference on Materials Processing", "Symposium on Solid-State Materials"};

// Quantum physics
constexpr W kQuSubjects[] = {"quantum entanglement", "decoherence", "quantum error correction",
    "topological phases", "Bose-Einstein condensates", "quantum key distribution", "spin chains",
    "quantum phase transitions", "Schrödinger operators", "superconducting qubits", "many-body localization",
    "quantum tunnelling", "cavity electrodynamics", "quantum metrology", "Poincaré recurrences",
    "open quantum systems"};
constexpr W kQuQualities[] = {"fault-tolerant", "coherent", "nonequilibrium", "one-dimensional",
    "strongly correlated", "photonic", "adiabatic", "dissipative"};
constexpr W kQuMethods[] = {"tensor network methods", "quantum Monte Carlo", "variational circuits",
    "master equations", "exact diagonalization", "renormalization group methods", "path integrals",
    "trapped-ion experiments", "stabilizer codes"};
constexpr W kQuJournals[] = {"Journal of Quantum Physics", "Physical Review of Condensed Matter"};
constexpr W kQuConferences[] = {"Conference on Quantum Information Processing", "Workshop on Quantum Simulation"};

// Economics and finance
constexpr W kEcoSubjects[] = {"asset pricing", "monetary policy", "labour market frictions",
    "income inequality", "exchange rate dynamics", "credit risk", "household consumption",
    "trade liberalization", "market microstructure", "corporate governance", "housing prices",
    "minimum wages", "fiscal multipliers", "venture capital", "sovereign debt", "price rigidity"};
constexpr W kEcoQualities[] = {"structural", "dynamic", "heterogeneous", "macroeconomic",
    "behavioural", "empirical", "cross-country", "long-run"};
constexpr W kEcoMethods[] = {"instrumental variables", "vector autoregressions", "difference-in-differences",
    "general equilibrium models", "panel regressions", "regression discontinuity designs",
    "natural experiments", "stochastic volatility models", "auction theory"};
constexpr W kEcoJournals[] = {"Journal of Applied Economics and Finance", "Review of Economic Studies and Policy"};
constexpr W kEcoConferences[] = {"Annual Meeting on Economic Dynamics", "Conference on Financial Markets"};

// Ecology
constexpr W kEcoloSubjects[] = {"species richness", "pollinator decline", "habitat fragmentation",
    "predator-prey dynamics", "invasive species", "seed dispersal", "forest regeneration",
    "coral bleaching", "population viability", "nutrient cycling", "migratory behaviour",
    "biodiversity loss", "trophic cascades", "soil microbial communities", "wetland restoration", "niche partitioning"};
constexpr W kEcoloQualities[] = {"spatial", "landscape-scale", "long-term", "functional",
    "community-level", "tropical", "temperate", "experimental"};
constexpr W kEcoloMethods[] = {"species distribution models", "mark-recapture studies", "camera trapping",
    "metabarcoding", "occupancy models", "stable isotope analysis", "remote sensing",
    "structural equation models", "field experiments"};
constexpr W kEcoloJournals[] = {"Journal of Applied Ecology and Conservation", "Ecological Processes Review"};
constexpr W kEcoloConferences[] = {"Congress on Conservation Biology", "Symposium on Ecosystem Ecology"};

// Robotics and control
constexpr W kRobSubjects[] = {"motion planning", "grasp synthesis", "legged locomotion",
    "simultaneous localization and mapping", "trajectory tracking", "multi-robot coordination",
    "human-robot interaction", "visual servoing", "state estimation", "collision avoidance",
    "manipulator dynamics", "autonomous navigation", "swarm behaviour", "force control", "terrain classification"};
constexpr W kRobQualities[] = {"model-predictive", "compliant", "reactive", "underactuated",
    "safe", "decentralized", "learning-based", "optimal"};
constexpr W kRobMethods[] = {"Kalman filters", "particle filters", "sampling-based planners",
    "reinforcement learning", "Lyapunov analysis", "model predictive control", "impedance control",
    "factor graphs", "imitation learning"};
constexpr W kRobJournals[] = {"Journal of Field and Service Robotics", "Transactions on Control Engineering"};
constexpr W kRobConferences[] = {"International Conference on Robotics and Automation Systems",
    "Conference on Decision and Control Theory"};

// Scientometrics
constexpr W kSciSubjects[] = {"citation analysis", "co-authorship networks", "research evaluation",
    "journal impact", "citation chaining", "bibliographic coupling", "co-citation clusters",
    "science mapping", "h-index variants", "open access uptake", "research collaboration",
    "peer review", "altmetrics", "literature-based discovery", "author name disambiguation", "sleeping beauties"};
constexpr W kSciQualities[] = {"field-normalized", "bibliometric", "longitudinal", "institutional",
    "interdisciplinary", "large-scale", "comparative", "network-based"};
constexpr W kSciMethods[] = {"citation network analysis", "main path analysis", "pathfinder networks",
    "cosine similarity maps", "clustering algorithms", "term co-occurrence analysis",
    "survival models", "expert surveys", "text mining"};
constexpr W kSciJournals[] = {"Journal of Informetrics and Scholarly Communication", "Scientometric Studies"};
constexpr W kSciConferences[] = {"Conference on Science and Technology Indicators",
    "Workshop on Bibliometric-Enhanced Retrieval"};

// Software engineering
constexpr W kSeSubjects[] = {"defect prediction", "code review", "technical debt", "regression testing",
    "program comprehension", "continuous integration", "code clones", "API usability",
    "requirements elicitation", "software maintenance", "fault localization", "build failures",
    "developer productivity", "dependency management", "refactoring", "test flakiness"};
constexpr W kSeQualities[] = {"automated", "empirical", "large-scale", "cross-project",
    "lightweight", "static", "dynamic", "open-source"};
constexpr W kSeMethods[] = {"mining software repositories", "symbolic execution", "mutation testing",
    "fuzzing", "model checking", "program slicing", "controlled experiments", "grounded theory",
    "search-based techniques"};
constexpr W kSeJournals[] = {"Journal of Software Engineering Practice", "Empirical Software Studies"};
constexpr W kSeConferences[] = {"International Conference on Software Engineering Research",
    "Symposium on Software Testing and Analysis"};

// Mathematics (dynamical systems and logic)
constexpr W kMathSubjects[] = {"Poincaré maps", "bifurcation analysis", "ergodic properties",
    "chaotic attractors", "Lyapunov exponents", "periodic orbits", "Gödel incompleteness",
    "proof complexity", "Hamiltonian systems", "invariant manifolds", "synchronization phenomena",
    "delay differential equations", "fixed point theorems", "symbolic dynamics", "Łojasiewicz inequalities",
    "stability of equilibria"};
constexpr W kMathQualities[] = {"nonlinear", "piecewise smooth", "stochastic", "finite-dimensional",
    "nonautonomous", "discrete", "generic", "quasi-periodic"};
constexpr W kMathMethods[] = {"normal form theory", "averaging methods", "variational techniques",
    "topological methods", "numerical continuation", "transfer operators", "energy estimates",
    "ordinal analysis", "shadowing arguments"};
constexpr W kMathJournals[] = {"Journal of Nonlinear Dynamics and Analysis",
    "Annals of Pure and Applied Logic Letters"};
constexpr W kMathConferences[] = {"Conference on Dynamical Systems and Differential Equations",
    "Colloquium on Logic and Computation"};

constexpr TopicVocabulary kTopics[] = {
    {"machine learning", kMlSubjects, kMlQualities, kMlMethods, kMlJournals, kMlConferences},
    {"information retrieval", kIrSubjects, kIrQualities, kIrMethods, kIrJournals, kIrConferences},
    {"computer networking", kNetSubjects, kNetQualities, kNetMethods, kNetJournals, kNetConferences},
    {"data management", kDbSubjects, kDbQualities, kDbMethods, kDbJournals, kDbConferences},
    {"computer vision", kCvSubjects, kCvQualities, kCvMethods, kCvJournals, kCvConferences},
    {"natural language processing", kNlpSubjects, kNlpQualities, kNlpMethods, kNlpJournals, kNlpConferences},
    {"genomics", kGenSubjects, kGenQualities, kGenMethods, kGenJournals, kGenConferences},
    {"neuroscience", kNeuSubjects, kNeuQualities, kNeuMethods, kNeuJournals, kNeuConferences},
    {"epidemiology", kEpiSubjects, kEpiQualities, kEpiMethods, kEpiJournals, kEpiConferences},
    {"climate science", kClimSubjects, kClimQualities, kClimMethods, kClimJournals, kClimConferences},
    {"materials science", kMatSubjects, kMatQualities, kMatMethods, kMatJournals, kMatConferences},
    {"quantum physics", kQuSubjects, kQuQualities, kQuMethods, kQuJournals, kQuConferences},
    {"economics", kEcoSubjects, kEcoQualities, kEcoMethods, kEcoJournals, kEcoConferences},
    {"ecology", kEcoloSubjects, kEcoloQualities, kEcoloMethods, kEcoloJournals, kEcoloConferences},
    {"robotics", kRobSubjects, kRobQualities, kRobMethods, kRobJournals, kRobConferences},
    {"scientometrics", kSciSubjects, kSciQualities, kSciMethods, kSciJournals, kSciConferences},
    {"software engineering", kSeSubjects, kSeQualities, kSeMethods, kSeJournals, kSeConferences},
    {"dynamical systems", kMathSubjects, kMathQualities, kMathMethods, kMathJournals, kMathConferences},
};

constexpr W kFirstNames[] = {"Anna", "Akiko", "Ahmed", "Alejandro", "Amara", "Anaïs", "Arjun", "Beatriz",
    "Björn", "Carlos", "Chen", "Chloé", "Daniel", "Dmitri", "Elena", "Emeka", "Emily", "Fatima", "Felix",
    "François", "Gabriel", "Grace", "Hana", "Hiroshi", "Ingrid", "Isabel", "Jakub", "James", "Jiayi",
    "José", "Jürgen", "Kareem", "Katarzyna", "Kenji", "Lars", "Laura", "Léa", "Li", "Lucas", "Łukasz",
    "Maja", "Małgorzata", "Maria", "Mateo", "Mei", "Michael", "Mohammed", "Nadia", "Naoko", "Nikolai",
    "Noah", "Olga", "Omar", "Paolo", "Priya", "Rafael", "Rania", "Robert", "Rui", "Sakura", "Samuel",
    "Sarah", "Sofia", "Søren", "Sung-min", "Takumi", "Tomás", "Valentina", "Wei", "Yusuf", "Zoë", "Zhang"};

constexpr W kLastNames[] = {"Abe", "Adeyemi", "Alvarez", "Andersson", "Bauer", "Becker", "Bianchi",
    "Boissonnas", "Brown", "Castillo", "Chen", "Chowdhury", "Costa", "Dubois", "Eriksen", "Fischer",
    "García", "Gökçe", "Gonzalez", "Hansen", "Hashimoto", "Horvat", "Ivanova", "Jansen", "Jovanović",
    "Kang", "Kim", "Kowalski", "Kovačević", "Kumar", "Larsen", "Lee", "Lefèvre", "Li", "Liu", "Łukasiewicz",
    "Martin", "Mendes", "Miller", "Moreau", "Müller", "Nakamura", "Nguyen", "Nowak", "Novák", "Okafor",
    "Olsen", "O'Brien", "Patel", "Pérez", "Petrov", "Popescu", "Quispe", "Rahman", "Rossi", "Sánchez",
    "Sato", "Schmidt", "Silva", "Singh", "Smith", "Suzuki", "Tanaka", "Taylor", "Thompson", "Van der Berg",
    "Virtanen", "Wang", "Weber", "Wiśniewski", "Wójcik", "Yamamoto", "Yilmaz", "Zhang", "Zhou", "Øberg"};

}  // namespace

std::span<const TopicVocabulary> CorpusTopics() { return kTopics; }
std::span<const std::string_view> CorpusFirstNames() { return kFirstNames; }
std::span<const std::string_view> CorpusLastNames() { return kLastNames; }

std::vector<std::string> InventedWords(uint64_t list, size_t count) {
  static constexpr const char* kOnsets[] = {"b", "c", "d", "f", "g", "h", "k", "l", "m", "n", "p", "r", "s", "t",
                                            "v", "z", "br", "cl", "dr", "gr", "ph", "pl", "st", "th", "tr"};
  static constexpr const char* kVowels[] = {"a", "e", "i", "o", "u", "y", "ae", "ei", "io", "ou"};
  static constexpr const char* kCodas[] = {"", "", "", "l", "m", "n", "r", "s", "x", "nt"};
  // Seeds one step of the generator apart would give the same words one word apart: each list's
  // seed is itself a draw.
  SplitMix64 random(SplitMix64(0x5eed0000ULL + list).Next());
  std::vector<std::string> words;
  words.reserve(count);
  while (words.size() < count) {
    const uint64_t syllables = 2 + random.Below(3);
    std::string word;
    for (uint64_t k = 0; k < syllables; ++k) {
      word += kOnsets[random.Below(std::size(kOnsets))];
      word += kVowels[random.Below(std::size(kVowels))];
      word += kCodas[random.Below(std::size(kCodas))];
    }
    if (word.size() <= 15) words.push_back(std::move(word));
  }
  return words;
}

}  // namespace wendrel
