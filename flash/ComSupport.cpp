#include "flash/ComSupport.h"

const char* ComError::what() const noexcept { return what_; }

void CheckHr(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw ComError(what, hr);
}
