// The replay corpus: damaged maps in map/ and damaged MTZ files in mtz/,
// each run against the good partner file of the other kind.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

struct CorpusCase {
  std::string name;  // "map/NAME" or "mtz/NAME"
  std::filesystem::path map, mtz;
};

inline std::vector<CorpusCase> corpus_cases(const std::filesystem::path& corpus) {
  std::vector<CorpusCase> cases;
  for (const char* kind : {"map", "mtz"})
    for (const auto& entry : std::filesystem::directory_iterator(corpus / kind)) {
      CorpusCase c{std::string(kind) + "/" + entry.path().filename().string(),
                   corpus / "good.map", corpus / "good.mtz"};
      (kind == std::string("map") ? c.map : c.mtz) = entry.path();
      cases.push_back(c);
    }
  return cases;
}
