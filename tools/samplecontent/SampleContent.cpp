// samplecontent: writes the content of the demo screen saver into a folder —
// a small movie in plain and compressed form (with a background colour and an
// allowscale command), a licence text in code page 932, a picture, and the
// files of the screen saver's data folder.
//
//   samplecontent OUTDIR
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "system/Cp932.h"

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr int kTwipsPerPixel = 20;
constexpr int kMovieWidth = 350, kMovieHeight = 150;  // the installer's content area
constexpr int kSwfVersion = 6;
constexpr int kTagShowFrame = 1, kTagEnd = 0, kTagSetBackgroundColor = 9, kTagDoAction = 12;
constexpr unsigned char kActionGetUrl = 0x83;
constexpr unsigned char kBackground[3] = {0x1E, 0x5A, 0xA8};

void Put16(Bytes& out, unsigned v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}

void PutTag(Bytes& out, int code, const Bytes& body) {
  Put16(out, static_cast<unsigned>(code << 6 | 63));  // long form, any length
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(body.size() >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
}

// The frame rectangle as a bit field: N = 15 bits per field, Xmin/Xmax/Ymin/Ymax in twips.
Bytes FrameRectangle(std::uint32_t xmax, std::uint32_t ymax) {
  const int n = 15;
  const std::uint32_t fields[4] = {0, xmax, 0, ymax};
  std::vector<bool> bits;
  for (int i = 4; i >= 0; --i) bits.push_back((n >> i) & 1);
  for (std::uint32_t f : fields)
    for (int i = n - 1; i >= 0; --i) bits.push_back((f >> i) & 1);
  Bytes out((bits.size() + 7) / 8, 0);
  for (size_t p = 0; p < bits.size(); ++p)
    if (bits[p]) out[p / 8] |= static_cast<unsigned char>(0x80 >> (p % 8));
  return out;
}

// One frame: background colour, then an fscommand action "allowscale" = "true".
Bytes PlainMovie() {
  Bytes body = FrameRectangle(kMovieWidth * kTwipsPerPixel, kMovieHeight * kTwipsPerPixel);
  body.insert(body.end(), {0x00, 0x0C, 0x01, 0x00});  // 12 frames per second, 1 frame
  PutTag(body, kTagSetBackgroundColor, Bytes(kBackground, kBackground + 3));
  const std::string url = "FSCommand:allowscale";
  const std::string target = "true";
  Bytes action{kActionGetUrl};
  Put16(action, static_cast<unsigned>(url.size() + 1 + target.size() + 1));
  action.insert(action.end(), url.begin(), url.end());
  action.push_back(0);
  action.insert(action.end(), target.begin(), target.end());
  action.push_back(0);
  action.push_back(0);  // end of actions
  PutTag(body, kTagDoAction, action);
  PutTag(body, kTagShowFrame, {});
  PutTag(body, kTagEnd, {});

  Bytes movie{'F', 'W', 'S', static_cast<unsigned char>(kSwfVersion)};
  const std::uint32_t length = static_cast<std::uint32_t>(8 + body.size());
  for (int i = 0; i < 4; ++i) movie.push_back(static_cast<unsigned char>(length >> (8 * i)));
  movie.insert(movie.end(), body.begin(), body.end());
  return movie;
}

// The compressed form: "CWS", the same version and length, then bytes 8 on as one zlib stream.
Bytes CompressedMovie(const Bytes& plain) {
  uLongf size = compressBound(static_cast<uLong>(plain.size() - 8));
  Bytes z(size);
  if (compress2(z.data(), &size, plain.data() + 8, static_cast<uLong>(plain.size() - 8),
                Z_BEST_COMPRESSION) != Z_OK)
    return {};
  Bytes out{'C', 'W', 'S'};
  out.insert(out.end(), plain.begin() + 3, plain.begin() + 8);
  out.insert(out.end(), z.begin(), z.begin() + static_cast<long>(size));
  return out;
}

// A 24-bit Windows bitmap: a diagonal gradient in the movie's colours.
Bytes Picture() {
  const int w = kMovieWidth, h = kMovieHeight;
  const int stride = (w * 3 + 3) & ~3;
  const std::uint32_t pixels = static_cast<std::uint32_t>(stride * h);
  Bytes out;
  auto put32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  out.insert(out.end(), {'B', 'M'});
  put32(14 + 40 + pixels);
  put32(0);
  put32(14 + 40);
  put32(40);
  put32(static_cast<std::uint32_t>(w));
  put32(static_cast<std::uint32_t>(h));
  Put16(out, 1);
  Put16(out, 24);
  for (int i = 0; i < 6; ++i) put32(0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      out.push_back(static_cast<unsigned char>(kBackground[2] * x / w));        // blue
      out.push_back(static_cast<unsigned char>(kBackground[1] + (y * 100) / h));  // green
      out.push_back(static_cast<unsigned char>(kBackground[0] + (x * 120) / w));  // red
    }
    out.insert(out.end(), static_cast<size_t>(stride - w * 3), 0);
  }
  return out;
}

bool Write(const fs::path& path, const Bytes& data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

bool WriteCp932(const fs::path& path, const std::string& utf8) {
  std::string cp932;
  if (!text::Utf8ToCp932(utf8, cp932)) return false;
  return Write(path, Bytes(cp932.begin(), cp932.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: samplecontent OUTDIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  const Bytes plain = PlainMovie();
  const Bytes compressed = CompressedMovie(plain);
  const bool ok =
      !compressed.empty() && Write(out / "DemoSaver.swf", plain) &&
      Write(out / "DemoSaver-cws.swf", compressed) && Write(out / "picture.bmp", Picture()) &&
      WriteCp932(out / "license.txt",
                 "デモ スクリーンセーバー 使用許諾\r\n\r\n"
                 "このスクリーンセーバーは自由にお使いいただけます。\r\n"
                 "再配布の際は、このファイルを添えてください。\r\n") &&
      WriteCp932(out / "content" / "readme.txt",
                 "デモ スクリーンセーバーのデータフォルダです。\r\n") &&
      Write(out / "content" / "images" / "picture.bmp", Picture());
  if (!ok) {
    std::fprintf(stderr, "samplecontent: cannot write into %s\n", out.string().c_str());
    return 1;
  }
  std::printf("samplecontent: wrote the demo content into %s\n", out.string().c_str());
  return 0;
}
