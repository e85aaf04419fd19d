// The decompressor library's entry points. They keep the library's own names;
// impborl.def exports them as "_implode", "_explode" and "_crc32".
#include "dcl/Dcl.h"

extern "C" {

unsigned DCL_CALL implode(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf, void* param,
                          unsigned* type, unsigned* dsize) {
  return dcl_implode(read_buf, write_buf, work_buf, param, type, dsize);
}

unsigned DCL_CALL explode(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf, void* param) {
  return dcl_explode(read_buf, write_buf, work_buf, param);
}

unsigned long DCL_CALL crc32(char* buf, unsigned* size, unsigned long* old_crc) {
  return dcl_crc32(buf, size, old_crc);
}

}  // extern "C"
