// Builds small movie files for tests: header, frame rectangle, tags, and the
// bytes after the background tag where fscommand settings live.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

using Bytes = std::vector<unsigned char>;

class SwfBuilder {
 public:
  SwfBuilder& version(int v) { version_ = static_cast<unsigned char>(v); return *this; }
  SwfBuilder& signature(const std::string& s) { signature_ = s; return *this; }
  // Frame rectangle in twips with field width n.
  SwfBuilder& frame(int n, std::uint32_t xmin, std::uint32_t xmax, std::uint32_t ymin,
                    std::uint32_t ymax) {
    n_ = n; rect_[0] = xmin; rect_[1] = xmax; rect_[2] = ymin; rect_[3] = ymax;
    return *this;
  }
  // A tag in short form (body below 63 bytes) or, when `longForm`, in long form.
  SwfBuilder& tag(int code, const Bytes& body, bool longForm = false) {
    if (longForm || body.size() >= 63) {
      put16(static_cast<unsigned>(code << 6 | 63));
      put32(static_cast<std::uint32_t>(body.size()));
    } else {
      put16(static_cast<unsigned>(code << 6 | body.size()));
    }
    tags_.insert(tags_.end(), body.begin(), body.end());
    return *this;
  }
  SwfBuilder& background(unsigned char r, unsigned char g, unsigned char b) {
    return tag(9, {r, g, b});
  }
  SwfBuilder& raw(const Bytes& bytes) {
    tags_.insert(tags_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  SwfBuilder& text(const std::string& s) {
    tags_.insert(tags_.end(), s.begin(), s.end());
    return *this;
  }
  // fscommand action strings: "FSCommand:<command>\0<value>\0".
  SwfBuilder& fscommand(const std::string& command, const std::string& value) {
    text("FSCommand:" + command);
    tags_.push_back(0);
    text(value);
    tags_.push_back(0);
    return *this;
  }
  // Declared length; by default the real length.
  SwfBuilder& declaredLength(std::int64_t length) { declared_ = length; return *this; }

  Bytes plain() const {
    Bytes out(signature_.begin(), signature_.end());
    out.push_back(version_);
    Bytes body = rectangle();
    body.insert(body.end(), {0x00, 0x0C, 0x01, 0x00});  // frame rate 12, 1 frame
    body.insert(body.end(), tags_.begin(), tags_.end());
    std::uint32_t length =
        declared_ >= 0 ? static_cast<std::uint32_t>(declared_) : static_cast<std::uint32_t>(8 + body.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(length >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }

  // The same movie compressed: "CWS", version, length, zlib stream of bytes 8 on.
  Bytes compressed() const { return Compress(plain()); }

  static Bytes Compress(const Bytes& plainMovie) {
    Bytes tail(plainMovie.begin() + 8, plainMovie.end());
    uLongf size = compressBound(static_cast<uLong>(tail.size()));
    Bytes z(size);
    compress2(z.data(), &size, tail.data(), static_cast<uLong>(tail.size()), 9);
    z.resize(size);
    Bytes out{'C', 'W', 'S'};
    out.insert(out.end(), plainMovie.begin() + 3, plainMovie.begin() + 8);
    out.insert(out.end(), z.begin(), z.end());
    return out;
  }

 private:
  Bytes rectangle() const {
    Bytes out;
    unsigned acc = 0;
    int bits = 0;
    auto push = [&](std::uint32_t v, int width) {
      for (int i = width - 1; i >= 0; --i) {
        acc = (acc << 1) | ((v >> i) & 1u);
        if (++bits == 8) { out.push_back(static_cast<unsigned char>(acc)); acc = 0; bits = 0; }
      }
    };
    push(static_cast<std::uint32_t>(n_), 5);
    for (auto v : rect_) push(v, n_);
    if (bits) out.push_back(static_cast<unsigned char>(acc << (8 - bits)));
    return out;
  }
  void put16(unsigned v) { tags_.push_back(v & 0xFF); tags_.push_back((v >> 8) & 0xFF); }
  void put32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) tags_.push_back(static_cast<unsigned char>(v >> (8 * i)));
  }

  std::string signature_ = "FWS";
  unsigned char version_ = 6;
  int n_ = 15;
  std::uint32_t rect_[4] = {0, 8000, 0, 6000};
  std::int64_t declared_ = -1;
  Bytes tags_;
};

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
