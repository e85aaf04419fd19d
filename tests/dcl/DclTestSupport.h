// Shared helpers of the codec tests: generated inputs and a callback harness
// that can hand over input and take output in pieces of any size.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dcl/Dcl.h"
#include "dcl/DclBuffer.h"

namespace dcltest {

using dcl::Bytes;

inline Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// Text-like data: words from a small vocabulary, spaces and line breaks.
inline Bytes TextBytes(std::size_t n, std::uint32_t seed) {
  static const char* const kWords[] = {"the", "screen", "saver", "installer", "package", "folder",
                                       "window", "record", "stream", "copy", "literal", "of",
                                       "and", "a", "is", "to", "Windows", "data", "file", "2004"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(n + 16);
  while (out.size() < n) {
    const char* w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
    out.insert(out.end(), w, w + std::strlen(w));
    const unsigned r = rng() % 12;
    out.push_back(r == 0 ? '\n' : r == 1 ? ',' : ' ');
  }
  out.resize(n);
  return out;
}

// Runs explode with input given `inPiece` bytes per read and output taken in
// writes whose sizes are recorded.
struct PieceHarness {
  const Bytes* input = nullptr;
  std::size_t pos = 0;
  unsigned inPiece = 0;  // 0: as much as asked
  Bytes output;
  unsigned reads = 0;

  static unsigned DCL_CALL Read(char* buf, unsigned* size, void* param) {
    auto* h = static_cast<PieceHarness*>(param);
    ++h->reads;
    std::size_t n = *size;
    if (h->inPiece != 0 && n > h->inPiece) n = h->inPiece;
    if (n > h->input->size() - h->pos) n = h->input->size() - h->pos;
    if (n) std::memcpy(buf, h->input->data() + h->pos, n);
    h->pos += n;
    return static_cast<unsigned>(n);
  }
  static void DCL_CALL Write(char* buf, unsigned* size, void* param) {
    auto* h = static_cast<PieceHarness*>(param);
    h->output.insert(h->output.end(), buf, buf + *size);
  }
};

inline unsigned ExplodePieces(const Bytes& stream, unsigned inPiece, Bytes& out) {
  PieceHarness h;
  h.input = &stream;
  h.inPiece = inPiece;
  std::vector<char> work(dcl::kExplodeWorkSize);
  const unsigned code = dcl_explode(PieceHarness::Read, PieceHarness::Write, work.data(), &h);
  out = std::move(h.output);
  return code;
}

inline unsigned ImplodePieces(const Bytes& input, unsigned inPiece, unsigned mode, unsigned dict,
                              Bytes& out, dcl::Parse parse = dcl::Parse::kFast) {
  PieceHarness h;
  h.input = &input;
  h.inPiece = inPiece;
  const bool optimal = parse == dcl::Parse::kOptimal;
  std::vector<char> work(optimal ? dcl::kImplodeOptimalWorkSize : dcl::kImplodeWorkSize);
  const unsigned code = (optimal ? dcl_implode_optimal : dcl_implode)(
      PieceHarness::Read, PieceHarness::Write, work.data(), &h, &mode, &dict);
  out = std::move(h.output);
  return code;
}

}  // namespace dcltest
