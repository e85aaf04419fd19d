// The benchmark corpus, generated deterministically in memory: text, an
// executable, random bytes, a repetitive file and a mix of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dclbench {

using Bytes = std::vector<std::uint8_t>;

struct CorpusFile {
  std::string name;
  Bytes data;
};

// Every corpus file has about `size` bytes.
std::vector<CorpusFile> MakeCorpus(std::size_t size);

// The reference corpus: real files kept outside the tree, with a table of
// implode sizes for each of them in both literal modes and every dictionary.
struct ReferenceSizes {
  std::string file;
  unsigned mode;        // dcl::kBinary or dcl::kAscii
  unsigned dict;
  std::size_t openBest;  // the best open implementation's output
  std::size_t minimum;   // the smallest stream the format allows
};

struct ReferenceCorpus {
  std::vector<CorpusFile> files;
  std::vector<ReferenceSizes> sizes;
  std::string problem;  // why the corpus is not there; empty when it is
};

// Reads the files named in `folder`/REFERENCE.md and its size table (columns:
// file, mode, dictionary, open best, ours then, format minimum).
ReferenceCorpus ReadReferenceCorpus(const std::string& folder);

}  // namespace dclbench
