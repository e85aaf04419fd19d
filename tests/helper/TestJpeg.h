// JPEG pictures for tests, made with libjpeg's encoder: the decoder under test and the
// installer's picture window get real files of each kind a maker may ship.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace testjpeg {

struct Options {
  int quality = 75;          // the encoder's default
  bool progressive = false;  // progressive scans instead of one sequential scan
  bool subsampled = true;    // chroma subsampled 2 x 2 (the encoder's default), else 1 x 1
};

// The colour of pixel (x, y) as red, green, blue.
using PixelFunction = std::function<void(int x, int y, unsigned char rgb[3])>;

// A width x height RGB picture as JPEG file bytes.
std::vector<std::uint8_t> Encode(int width, int height, const PixelFunction& pixel,
                                 const Options& options = {});

}  // namespace testjpeg
