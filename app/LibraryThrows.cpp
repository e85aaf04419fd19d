// How the C++ library's containers report misuse in the installer. Strings and
// vectors call these functions when a size exceeds what they can hold, a null
// pointer is given as a string, or an index is out of range. The library's own
// versions sit in one file with every other such function, whose error types
// store their message in the library's second string implementation: defining
// the five the installer reaches here keeps that (some 80 KB) out of the image.
// Memory failures raise the same types as before; misuse raises a plain
// std::exception type, which every step boundary reports like the library's
// std::logic_error family: as the damaged-installer failure.
#include <exception>
#include <new>

namespace {

// Carries the library's fixed text (a string literal; formatting arguments of
// the out-of-range report are left out).
class LibraryMisuse : public std::exception {
 public:
  explicit LibraryMisuse(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char* what) { throw LibraryMisuse(what); }
void __throw_logic_error(const char* what) { throw LibraryMisuse(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryMisuse(format); }

}  // namespace std
