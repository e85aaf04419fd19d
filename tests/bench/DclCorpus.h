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

}  // namespace dclbench
