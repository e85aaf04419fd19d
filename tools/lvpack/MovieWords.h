// The movie reader's result codes in words, for `movie` and `verify`.
// Header-only: the movie command is also built on its own for its tests.
#pragma once

#include <string>

#include "system/ResultCodes.h"

namespace lvpack {

// "" for a code that is not the movie reader's.
inline std::string DescribeMovieResult(rc::Result code) {
  switch (code) {
    case rc::kOk: return "the installer plays this movie";
    case rc::kNotAMovie: return "not a Flash movie: the file starts with neither \"FWS\" nor \"CWS\"";
    case rc::kMovieTooNew: return "movie format version above 7: the installer plays versions 3 to 7";
    case rc::kMovieTooOld: return "movie format version below 3: the installer plays versions 3 to 7";
    case rc::kMovieDataDamaged: return "the compressed movie's zlib data are damaged";
    default: return "";
  }
}

}  // namespace lvpack
