#pragma once
// The wizard's banner: a baseline JPEG carried as a resource, decoded with libjpeg.
#include "platform/win32/Win32.h"

#include <cstddef>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bgr; // rows top-down, 3 bytes a pixel (blue, green, red), no row padding
};

// Decodes a baseline JPEG. A decoding error raises platform::Error("JPEG error #<code>"); libjpeg's
// error exit leaves by longjmp and the error is raised only after the jump, never through libjpeg.
// libjpeg's warnings (a truncated scan, corrupt entropy data) are not errors: the picture decodes as
// far as it can.
DecodedImage DecodeJpeg(const unsigned char* bytes, std::size_t size);

// The banner resource ("BANNER", RT_RCDATA) of the running program, decoded. Raises platform::Error
// when the program carries no banner.
DecodedImage LoadBanner();

// A bitmap compatible with the screen holding the image stretched (HALFTONE) to width x height. The
// caller owns it (DeleteObject, or gdi::Bitmap). Raises platform::Error when GDI cannot make it.
HBITMAP MakeStretchedBitmap(const DecodedImage& image, int width, int height);
