#include "DclCorpus.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "dcl/Dcl.h"

namespace dclbench {
namespace {

// Prose-like text: words of a generated vocabulary drawn with Zipf frequencies,
// sentences with capitals and punctuation, lines of about 70 characters.
Bytes MakeText(std::size_t size, std::mt19937& rng) {
  const char* const kSyllables[] = {"ka", "ri", "to", "ne", "sa", "mo", "lu", "shi", "an", "er",
                                    "in", "the", "or", "st", "ch", "ing", "ed", "on", "al", "re"};
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) {
    std::string w;
    const int n = 1 + static_cast<int>(rng() % 3) + (i > 200 ? 1 : 0);
    for (int k = 0; k < n; ++k) w += kSyllables[rng() % 20];
    words.push_back(w);
  }
  std::vector<double> weights(words.size());
  for (std::size_t i = 0; i < weights.size(); ++i) weights[i] = 1.0 / static_cast<double>(i + 1);
  std::discrete_distribution<std::size_t> pick(weights.begin(), weights.end());

  Bytes out;
  std::size_t lineLength = 0;
  bool sentenceStart = true;
  while (out.size() < size) {
    std::string w = words[pick(rng)];
    if (sentenceStart) w[0] = static_cast<char>(w[0] - 'a' + 'A');
    sentenceStart = false;
    out.insert(out.end(), w.begin(), w.end());
    lineLength += w.size();
    const unsigned r = rng() % 20;
    if (r == 0) {
      out.push_back('.');
      sentenceStart = true;
    } else if (r == 1) {
      out.push_back(',');
    }
    if (lineLength > 70) {
      out.push_back('\r');
      out.push_back('\n');
      lineLength = 0;
    } else {
      out.push_back(' ');
      ++lineLength;
    }
  }
  out.resize(size);
  return out;
}

// The benchmark's own program file: real machine code, tables and strings.
Bytes MakeExecutable(std::size_t size) {
  std::ifstream f("/proc/self/exe", std::ios::binary);
  Bytes exe((std::istreambuf_iterator<char>(f)), {});
  Bytes out;
  while (!exe.empty() && out.size() < size)
    out.insert(out.end(), exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(std::min(exe.size(), size - out.size())));
  return out;
}

Bytes MakeRandom(std::size_t size, std::mt19937& rng) {
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// Log-file lines that differ only in counters and a few fields.
Bytes MakeRepetitive(std::size_t size, std::mt19937& rng) {
  const char* const kLevels[] = {"INFO", "INFO", "INFO", "WARN", "DEBUG"};
  const char* const kEvents[] = {"file extracted", "record written", "folder created",
                                 "library loaded", "settings saved"};
  Bytes out;
  unsigned counter = 0;
  while (out.size() < size) {
    const std::string line = "2004-06-01 12:" + std::to_string(10 + (counter / 60) % 50) + ":" +
                             std::to_string(10 + counter % 50) + " [" + kLevels[rng() % 5] +
                             "] installer: " + kEvents[rng() % 5] + " slot=" +
                             std::to_string(rng() % 11) + " size=" + std::to_string(4096 * (rng() % 8)) +
                             "\r\n";
    out.insert(out.end(), line.begin(), line.end());
    ++counter;
  }
  out.resize(size);
  return out;
}

// Alternating 64 KB pieces of the other files, as in a package.
Bytes MakeMix(const std::vector<CorpusFile>& files, std::size_t size) {
  Bytes out;
  const std::size_t piece = 64 * 1024;
  for (std::size_t i = 0; out.size() < size; ++i) {
    const Bytes& src = files[i % files.size()].data;
    const std::size_t from = (i / files.size() * piece) % (src.size() - piece);
    out.insert(out.end(), src.begin() + static_cast<std::ptrdiff_t>(from),
               src.begin() + static_cast<std::ptrdiff_t>(from + piece));
  }
  out.resize(size);
  return out;
}

}  // namespace

std::vector<CorpusFile> MakeCorpus(std::size_t size) {
  std::mt19937 rng(20040601);
  std::vector<CorpusFile> files;
  files.push_back({"text", MakeText(size, rng)});
  files.push_back({"exe", MakeExecutable(size)});
  files.push_back({"random", MakeRandom(size, rng)});
  files.push_back({"repetitive", MakeRepetitive(size, rng)});
  files.push_back({"mix", MakeMix(files, size)});
  return files;
}

}  // namespace dclbench

namespace dclbench {
namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") + 1 - first);
}

// "958,357" -> 958357; false for anything but digits and commas.
bool ParseCount(const std::string& text, std::size_t& value) {
  std::string digits;
  for (char c : text) {
    if (c == ',') continue;
    if (c < '0' || c > '9') return false;
    digits += c;
  }
  if (digits.empty()) return false;
  value = std::stoull(digits);
  return true;
}

}  // namespace

ReferenceCorpus ReadReferenceCorpus(const std::string& folder) {
  ReferenceCorpus corpus;
  std::ifstream table(folder + "/REFERENCE.md");
  if (!table) {
    corpus.problem = folder + "/REFERENCE.md not found";
    return corpus;
  }
  std::string line;
  while (std::getline(table, line)) {
    // | file | mode | dictionary | open best | ours then | format minimum |
    std::vector<std::string> cells;
    std::stringstream row(line);
    std::string cell;
    while (std::getline(row, cell, '|')) cells.push_back(Trim(cell));
    if (cells.size() < 7 || (cells[2] != "binary" && cells[2] != "ascii")) continue;
    ReferenceSizes r;
    std::size_t dict = 0;
    if (!ParseCount(cells[3], dict) || !ParseCount(cells[4], r.openBest) ||
        !ParseCount(cells[6], r.minimum))
      continue;
    r.file = cells[1];
    r.mode = cells[2] == "ascii" ? dcl::kAscii : dcl::kBinary;
    r.dict = static_cast<unsigned>(dict);
    corpus.sizes.push_back(r);
    const bool known = std::any_of(corpus.files.begin(), corpus.files.end(),
                                   [&](const CorpusFile& f) { return f.name == r.file; });
    if (known) continue;
    std::ifstream in(folder + "/" + r.file, std::ios::binary);
    if (!in) {
      corpus.problem = folder + "/" + r.file + " not found";
      return corpus;
    }
    corpus.files.push_back({r.file, Bytes((std::istreambuf_iterator<char>(in)), {})});
  }
  if (corpus.sizes.empty()) corpus.problem = folder + "/REFERENCE.md has no size table";
  return corpus;
}

}  // namespace dclbench
