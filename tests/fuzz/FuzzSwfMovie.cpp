// Fuzz target: the movie reader as the Flash panel runs it (signature, the
// conversion of a compressed movie, the plain header and settings window).
// The reader works on files, so each input is written to a file in a folder of
// this process; the converted copy goes to a second folder beside it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "flash/SwfMovie.h"
#include "system/InstallerError.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

namespace fs = std::filesystem;

// One folder per process, removed when the process ends normally.
class ProcessFolder {
 public:
  ProcessFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lvfuzz-swf-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    root_ = pattern;
    fs::create_directory(root_ / "panel");
  }
  ~ProcessFolder() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  fs::path movie() const { return root_ / "movie.swf"; }
  fs::path panel() const { return root_ / "panel"; }

 private:
  fs::path root_;
};

ProcessFolder& Folder() {
  static ProcessFolder folder;
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ProcessFolder& folder = Folder();
  {
    std::ofstream out(folder.movie(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good(), "cannot write the movie file");
  }

  TSwfMovie movie;
  movie.swfFilename = folder.movie();
  movie.tempFolder = folder.panel();  // no numbered folder in the real TEMP
  rc::Result result = 0;
  try {
    result = movie.readMovie();
  } catch (const InstallerError& e) {
    // Damaged or cut-short movies are reported this way; the kind says which.
    FUZZ_CHECK(e.kind() == ErrorKind::ReadError || e.kind() == ErrorKind::DecompressionError,
               std::string("unexpected failure: ") + e.kindName() + " " + e.what());
    return 0;
  }
  FUZZ_CHECK(result == 0 || result == rc::kNotAMovie || result == rc::kMovieTooNew ||
                 result == rc::kMovieTooOld,
             "unexpected result " + std::to_string(result));
  if (result == 0 && size >= 3) {
    const std::string signature(reinterpret_cast<const char*>(data), 3);
    FUZZ_CHECK(signature == "FWS" || signature == "CWS", "accepted signature " + signature);
    FUZZ_CHECK(movie.swfVersion >= TSwfMovie::kOldestVersion && movie.swfVersion <= TSwfMovie::kNewestVersion,
               "version outside the supported range");
    FUZZ_CHECK(movie.movieWidth >= 0 && movie.movieHeight >= 0, "negative frame size");
    for (int flag : {movie.allowScale, movie.fullScreen})
      FUZZ_CHECK(flag >= TSwfMovie::kFlagOtherValue && flag <= TSwfMovie::kFlagTrue, "flag value");
  }

  // The settings scan on raw bytes: any length, including none.
  const int n = static_cast<int>(size);
  const int flag = TSwfMovie::findFSCommandFlag("fullScreen", data, n);
  FUZZ_CHECK(flag >= TSwfMovie::kFlagOtherValue && flag <= TSwfMovie::kFlagTrue, "flag value");
  return 0;
}
