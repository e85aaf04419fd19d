// Writes the seed corpora of the fuzz targets: small well-formed inputs made
// with the project's own writers, one folder per target.
//   lv_fuzz_seeds <folder>   -> <folder>/{payload,saverdata,swf,explode}/seed-N
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dcl/DclBuffer.h"
#include "payload/PayloadFormat.h"
#include "payload/SaverDataFormat.h"
#include "SwfBuilder.h"

namespace fs = std::filesystem;
using ByteVec = std::vector<std::uint8_t>;

namespace {

void Save(const fs::path& folder, int& n, const ByteVec& bytes) {
  fs::create_directories(folder);
  std::ofstream out(folder / ("seed-" + std::to_string(n++)), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ByteVec Text(const std::string& s) { return ByteVec(s.begin(), s.end()); }

// A package: block at offset 0, then each record's data in slot order.
struct PackageSeed {
  payload::PayloadBlock block;
  ByteVec data;

  void Add(int slot, const std::string& name, int destination, const ByteVec& bytes, bool compressed = false,
           std::int32_t unpacked = 0) {
    payload::PayloadRecord& r = *block.Slot(slot);
    r.SetName(name);
    r.destination = destination;
    r.compressed = compressed ? 1 : 0;
    r.firstByte = static_cast<std::int32_t>(payload::kBlockSize + data.size());
    r.lastByte = r.firstByte + static_cast<std::int32_t>(bytes.size()) - 1;
    r.packedSize = static_cast<std::uint32_t>(bytes.size());
    r.unpackedSize = unpacked;
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  ByteVec Serialized() const {
    const auto head = payload::SerializeBlock(block);
    ByteVec out(head.begin(), head.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
  }
};

void PayloadSeeds(const fs::path& folder) {
  int n = 0;
  const dcl::Bytes program = Text("MZ program bytes of the screen saver, repeated, repeated, repeated");
  const dcl::ImplodeResult packed = dcl::ImplodeBuffer(program, dcl::kBinary, dcl::kDict1024);

  PackageSeed movie;
  movie.block.header.contentKind = payload::kContentMovie;
  movie.block.header.showLicense = 1;
  payload::SetScreenSaverName(movie.block.header, "Sample Saver");
  movie.Add(payload::kSlotDecompressor, "impborl.dat", 4, Text("library"));
  movie.Add(payload::kSlotFlashSetup, "flashax.exe", 3, Text("setup"));
  movie.Add(payload::kSlotPresentation, "intro.swf", 7, Text("FWS movie"));
  movie.Add(payload::kSlotLicense, "license.txt", 7, Text("licence text"));
  movie.Add(payload::kSlotSaverProgram, "Sample Saver.scr", 2, packed.data, true,
            static_cast<std::int32_t>(program.size()));
  movie.Add(payload::kSlotSaverFile, "engine", 3, Text("engine"));
  movie.Add(payload::kSlotSaverDataFile, "saver.bin", 7, Text("data file"));
  movie.Add(payload::kSlotEngine1, "readme.txt", 1, Text("readme"));
  Save(folder, n, movie.Serialized());

  PackageSeed silent;  // code-page-932 names: the second byte may be a backslash
  silent.block.header.contentKind = payload::kContentSilent;
  payload::SetScreenSaverName(silent.block.header, "\x83\x5c\x83\x74\x83\x67");
  silent.Add(payload::kSlotSaverProgram, "\x83\x5c\x83\x74\x83\x67.scr", 2, Text("program"));
  silent.Add(payload::kSlotEngine2, "\x95\x5c\x8e\xa6.txt", 10, Text("x"));
  Save(folder, n, silent.Serialized());

  PackageSeed empty;  // header only, every slot empty
  empty.block.header.contentKind = payload::kContentJpeg;
  Save(folder, n, empty.Serialized());
}

void SaverDataSeeds(const fs::path& folder) {
  int n = 0;
  const dcl::Bytes picture = Text("JFIF picture bytes picture bytes picture bytes picture bytes");
  payload::SaverDataFile file;
  file.settings.SetSaverContentKind(1);
  file.settings.bytes[0] = 0x11;
  payload::SaverContent stored;
  stored.kind = 1;
  stored.name = "settings.txt";
  stored.tag = 7;
  stored.data = Text("stored entry");
  stored.unpackedSize = static_cast<std::int32_t>(stored.data.size());
  payload::SaverContent packed;
  packed.kind = 2;
  packed.name = "pictures\\one.jpg";
  packed.compressed = true;
  packed.data = dcl::ImplodeBuffer(picture, dcl::kAscii, dcl::kDict2048).data;
  packed.unpackedSize = static_cast<std::int32_t>(picture.size());
  payload::SaverContent movie;
  movie.kind = payload::kEntryKindInstallerMovie;
  movie.name = "movie/intro.swf";
  file.entries = {stored, packed, movie};
  ByteVec bytes;
  payload::SerializeSaverDataFile(file, bytes);
  Save(folder, n, bytes);

  file.settings.SetSaverContentKind(payload::kSaverContentInstallerMovie);
  file.entries = {movie, stored};
  payload::SerializeSaverDataFile(file, bytes);
  Save(folder, n, bytes);

  file.entries.clear();
  payload::SerializeSaverDataFile(file, bytes);
  Save(folder, n, bytes);
}

void SwfSeeds(const fs::path& folder) {
  int n = 0;
  SwfBuilder plain;
  plain.version(6).tag(1, {}).background(10, 20, 30).fscommand("allowscale", "false").fscommand("fullscreen", "true");
  Save(folder, n, plain.plain());
  Save(folder, n, plain.compressed());
  SwfBuilder longTags;
  longTags.version(7).frame(20, 0, 11000, 0, 8000).tag(2, Bytes(80, 0x41), true).tag(9, {1, 2}, true);
  Save(folder, n, longTags.plain());
  Save(folder, n, longTags.compressed());
  SwfBuilder tooNew;
  tooNew.version(8).background(0, 0, 0);
  Save(folder, n, tooNew.compressed());
}

void ExplodeSeeds(const fs::path& folder) {
  int n = 0;
  const std::string text = "The quick brown fox jumps over the lazy dog. The quick brown fox jumps again.";
  ByteVec binary;
  for (int i = 0; i < 600; ++i) binary.push_back(static_cast<std::uint8_t>((i * 7) ^ (i >> 3)));
  Save(folder, n, dcl::ImplodeBuffer(Text(text), dcl::kAscii, dcl::kDict1024).data);
  Save(folder, n, dcl::ImplodeBuffer(Text(text), dcl::kBinary, dcl::kDict4096).data);
  Save(folder, n, dcl::ImplodeBuffer(binary, dcl::kBinary, dcl::kDict2048).data);
  Save(folder, n, dcl::ImplodeBuffer({}, dcl::kAscii, dcl::kDict4096).data);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lv_fuzz_seeds <folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  PayloadSeeds(root / "payload");
  SaverDataSeeds(root / "saverdata");
  SwfSeeds(root / "swf");
  ExplodeSeeds(root / "explode");
  return 0;
}
