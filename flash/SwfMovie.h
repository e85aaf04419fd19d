// The movie-file side of the Flash panel, free of window code so that the
// installer, the maker's tool and the stand-in player read movies the same way.
//
// A movie file starts with a 3-byte signature: "FWS" for a plain movie, "CWS"
// when everything after the first 8 bytes is one zlib stream. A compressed
// movie is first rebuilt as a plain file in the panel's temporary folder; the
// header of the plain file gives the format version, the frame size, the
// background colour and the movie's allowscale/fullscreen fscommands.
//
// File, read and decompression failures are raised as InstallerError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "flash/MoviePath.h"
#include "system/ResultCodes.h"

class TSwfMovie {
 public:
  static constexpr const char* kSegmentFileName = "compressedSWFSegment.swf";
  static constexpr const char* kPlainFileName = "unCompressedSWF.swf";
  static constexpr const char* kTempFolderPrefix = "FlashPanel";
  static constexpr int kSettingsWindowLimit = 2000;   // bytes after the background tag
  static constexpr std::size_t kCopyBlock = 2048;
  static constexpr int kBackgroundTag = 9;
  static constexpr int kLongTagLength = 63;           // short length that announces a 32-bit length
  static constexpr int kNewestVersion = 7;
  static constexpr int kOldestVersion = 3;
  static constexpr int kTwipsPerPixel = 20;

  // Tri-state of a movie setting found by findFSCommandFlag.
  static constexpr int kFlagFalse = 0;
  static constexpr int kFlagTrue = 1;
  static constexpr int kFlagNotFound = -1;
  static constexpr int kFlagOtherValue = -2;

  TSwfMovie() = default;
  virtual ~TSwfMovie();

  // Reads the first three bytes of swfFilename into swfSignature.
  // 0 ("FWS"/"CWS", or no such file: signature unchanged) or kNotAMovie.
  rc::Result readSWFSignature();

  // Rebuilds the compressed movie swfFilename as tempFolder/unCompressedSWF.swf
  // (creating tempFolder first when empty), at most as long as the movie's
  // declared length. 0, or the OS error code when no temporary folder could
  // be created.
  rc::Result uncompressSWF();

  // Reads the plain movie header at `path` into the movie fields.
  // 0 (also when no file exists), kNotAMovie, kMovieTooNew or kMovieTooOld.
  rc::Result readSWFFile_FWS_Format(const MoviePath& path);

  // Value of `keyword` in the first `length` bytes of `text`: the byte two
  // places after the keyword (one separator skipped) decides: 'f' 0, 't' 1,
  // other -2; -1 when the keyword is absent. ASCII case is ignored.
  static int findFSCommandFlag(const std::string& keyword, const void* text, int length);

  // Reads swfFilename as the panel does before playing it: signature, then
  // for "CWS" the conversion, then the plain header. 0 or the first failure.
  rc::Result readMovie();

  // The plain copy that uncompressSWF writes.
  MoviePath plainCopyPath() const { return JoinPath(tempFolder, kPlainFileName); }

  MoviePath swfFilename;   // movie in use; empty when none
  std::string swfSignature;            // first three bytes of the movie last examined
  MoviePath tempFolder;    // empty until a compressed movie is converted
  std::int32_t bgRed = 0, bgGreen = 0, bgBlue = 0;
  std::int32_t movieWidth = 0, movieHeight = 0;
  std::int32_t allowScale = 0;
  std::int32_t fullScreen = 0;
  std::uint8_t swfVersion = 0;

 protected:
  // Makes a new, empty temporary folder. The default makes the first free
  // "FlashPanel<n>" (n = 1..1000) in the TEMP folder; returns 0 or the OS
  // error code of the last failed attempt.
  virtual rc::Result createTempFolder(MoviePath& folder);
};

// First free folder prefix + n (n = 1..1000) created inside `parent`.
// 0, or the OS error code of the last failed creation.
rc::Result CreateNumberedFolder(const MoviePath& parent, const std::string& prefix,
                                MoviePath& folder);

// The TEMP folder (environment variable TEMP, else the system's temporary folder).
MoviePath TempFolderPath();
