#include "app/PictureFile.h"

#include "app/BmpCheck.h"

#include <csetjmp>
#include <cstdio>
#include <cwctype>

// libjpeg's headers expect size_t and FILE to be known.
extern "C" {
#include <jpeglib.h>
}


namespace {

bool HasExtension(const std::wstring& path, const wchar_t* extension) {
  const std::wstring ext(extension);
  if (path.size() < ext.size()) return false;
  for (size_t i = 0; i < ext.size(); ++i) {
    if (std::towlower(path[path.size() - ext.size() + i]) != std::towlower(ext[i])) return false;
  }
  return true;
}

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != FALSE && size.QuadPart > 0 &&
            static_cast<std::uint64_t>(size.QuadPart) <= kMaxPictureBytes;
  if (ok) {
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr) != FALSE &&
         read == data.size();
  }
  CloseHandle(file);
  return ok;
}

// libjpeg reports fatal errors through error_exit, which must not return:
// we jump back to the decoder's set-up point.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};

void JpegErrorExit(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);
  std::longjmp(error->back, 1);
}

// The installer shows none of libjpeg's messages, so the error manager is wholly
// ours rather than jpeg_std_error's: that keeps the library's message table and
// its text formatting (some 7 KB) out of the image.
void JpegSilence(j_common_ptr, int) {}
void JpegNoOutput(j_common_ptr) {}
void JpegNoText(j_common_ptr, char* buffer) { buffer[0] = '\0'; }
void JpegResetErrors(j_common_ptr info) {
  info->err->num_warnings = 0;
  info->err->msg_code = 0;
}

// Decodes into `rows`, already sized by the caller's first pass. Kept free of C++
// objects with destructors because of the jump.
bool DecodeInto(const std::uint8_t* data, unsigned long size, jpeg_decompress_struct* info,
                JpegError* error, std::uint8_t* (*allocate)(void*, int, int, int&), void* context,
                int* widthOut, int* heightOut) {
  error->manager = jpeg_error_mgr{};
  error->manager.error_exit = JpegErrorExit;
  error->manager.emit_message = JpegSilence;
  error->manager.output_message = JpegNoOutput;
  error->manager.format_message = JpegNoText;
  error->manager.reset_error_mgr = JpegResetErrors;
  info->err = &error->manager;
  if (setjmp(error->back) != 0) {
    jpeg_destroy_decompress(info);
    return false;
  }
  jpeg_create_decompress(info);
  jpeg_mem_src(info, const_cast<unsigned char*>(data), size);
  jpeg_read_header(info, TRUE);
  info->out_color_space = JCS_RGB;
  jpeg_start_decompress(info);
  const int width = static_cast<int>(info->output_width);
  const int height = static_cast<int>(info->output_height);
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      info->output_components != 3) {
    jpeg_destroy_decompress(info);
    return false;
  }
  int stride = 0;
  std::uint8_t* pixels = allocate(context, width, height, stride);
  if (pixels == nullptr) {
    jpeg_destroy_decompress(info);
    return false;
  }
  while (info->output_scanline < info->output_height) {
    std::uint8_t* row = pixels + static_cast<size_t>(info->output_scanline) * stride;
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(info, rows, 1);
    for (int x = 0; x < width; ++x) {  // RGB -> BGR in place
      std::uint8_t red = row[x * 3];
      row[x * 3] = row[x * 3 + 2];
      row[x * 3 + 2] = red;
    }
  }
  jpeg_finish_decompress(info);
  jpeg_destroy_decompress(info);
  *widthOut = width;
  *heightOut = height;
  return true;
}

std::uint8_t* AllocateRows(void* context, int width, int height, int& stride) {
  auto* rows = static_cast<std::vector<std::uint8_t>*>(context);
  stride = (width * 3 + 3) & ~3;
  try {
    rows->assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return rows->data();
}

HBITMAP BitmapFromRows(int width, int height, const std::vector<std::uint8_t>& rows) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) return bitmap;
  memcpy(bits, rows.data(), rows.size());
  return bitmap;
}

}  // namespace

bool DecodeJpeg(const std::vector<std::uint8_t>& data, int& width, int& height,
                std::vector<std::uint8_t>& bgrRows) {
  if (data.empty()) return false;
  jpeg_decompress_struct info{};
  JpegError error{};
  int w = 0;
  int h = 0;
  if (!DecodeInto(data.data(), static_cast<unsigned long>(data.size()), &info, &error,
                  AllocateRows, &bgrRows, &w, &h))
    return false;
  width = w;
  height = h;
  return true;
}

HBITMAP LoadPictureFile(const std::wstring& path) {
  if (HasExtension(path, L".bmp")) {
    // The system's loader trusts the headers; it only gets files whose data is all there.
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(path, data) || !BmpLayoutIsSound(data.data(), data.size())) return nullptr;
    return static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                           LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  }
  if (HasExtension(path, L".jpg") || HasExtension(path, L".jpeg")) {
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rows;
    if (!DecodeJpeg(data, width, height, rows)) return nullptr;
    return BitmapFromRows(width, height, rows);
  }
  return nullptr;
}
