#pragma once
// The banner's JPEG decoder, kept free of Win32 types so that the build host can fuzz it.
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
