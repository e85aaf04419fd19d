// The implode/explode library: the call contract of the PKWARE Data Compression
// Library 1.11 (implode, explode, crc32), implemented from the stream format.
//
// Both directions stream through two callbacks supplied by the caller:
//   read_buf(buf, &size, param)  fills at most *size bytes of buf and returns the
//                                number stored; 0 means the input has ended.
//   write_buf(buf, &size, param) takes *size bytes from buf.
// All state lives in the caller's work area; neither direction uses the heap.
//
// The C entry points carry a dcl_ prefix so that they never clash with zlib's
// crc32 in a program that links both; the Windows library "impborl.dll"
// exports them as "_implode", "_explode" and "_crc32".
#pragma once

#include <cstddef>

#include "system/ResultCodes.h"

#if defined(_WIN32) && !defined(_WIN64)
#define DCL_CALL __cdecl
#else
#define DCL_CALL
#endif

namespace dcl {

// Literal modes (first header byte of a stream).
constexpr unsigned kBinary = 0;  // literals are 8 raw bits
constexpr unsigned kAscii = 1;   // literals use a fixed prefix code tuned for text

// Dictionary sizes implode accepts; the header stores log2(size) - 6 (4, 5, 6).
constexpr unsigned kDict1024 = 1024;
constexpr unsigned kDict2048 = 2048;
constexpr unsigned kDict4096 = 4096;

// Work areas the caller provides (the library's documented sizes).
constexpr std::size_t kExplodeWorkSize = 12574;
constexpr std::size_t kImplodeWorkSize = 36312;
// Work area of the optimal parse (dcl_implode_optimal).
constexpr std::size_t kImplodeOptimalWorkSize = 2304 * 1024;

}  // namespace dcl

extern "C" {

typedef unsigned(DCL_CALL* DclReadFn)(char* buf, unsigned* size, void* param);
typedef void(DCL_CALL* DclWriteFn)(char* buf, unsigned* size, void* param);

// Compresses everything read_buf delivers. *type is kBinary or kAscii, *dsize one
// of the three dictionary sizes. Returns rc::kDclOk, kDclInvalidDictSize,
// kDclInvalidMode or kDclAborted (a callback reported more bytes than asked).
unsigned DCL_CALL dcl_implode(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf,
                              void* param, unsigned* type, unsigned* dsize);

// Like dcl_implode, but writes the smallest stream the format allows for the
// input (an optimal parse), at a fraction of the speed: for data compressed
// once and decompressed many times. work_buf holds dcl::kImplodeOptimalWorkSize
// bytes. Not exported by the Windows library.
unsigned DCL_CALL dcl_implode_optimal(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf,
                                      void* param, unsigned* type, unsigned* dsize);

// Decompresses one stream. Returns rc::kDclOk, kDclBadData (bad header, input
// ending before the end marker, a copy reaching before the first byte) or
// kDclAborted. Bytes after the end marker are not consumed beyond the last read.
unsigned DCL_CALL dcl_explode(DclReadFn read_buf, DclWriteFn write_buf, char* work_buf,
                              void* param);

// The ordinary CRC-32 (polynomial 0xEDB88320) of *size bytes, continued from
// *old_crc. Start with 0xFFFFFFFF and invert the final value, as the library does.
unsigned long DCL_CALL dcl_crc32(char* buf, unsigned* size, unsigned long* old_crc);

}  // extern "C"
