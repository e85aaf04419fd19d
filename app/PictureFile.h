// Loading the installer's picture: a Windows bitmap (".BMP") through the system,
// a JPEG image (".jpg") through libjpeg. The extension, in any case, picks the decoder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A device-independent bitmap of the picture, or nullptr when the file is missing,
// damaged, or of another kind. The caller owns the bitmap.
HBITMAP LoadPictureFile(const std::wstring& path);

// Decodes a JPEG image held in memory into top-down 24-bit BGR rows, each padded
// to 4 bytes. False for damaged data (libjpeg's errors never leave this function).
bool DecodeJpeg(const std::vector<std::uint8_t>& data, int& width, int& height,
                std::vector<std::uint8_t>& bgrRows);
