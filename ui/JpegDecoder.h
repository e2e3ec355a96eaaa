#pragma once
// The banner's JPEG decoder, kept free of Win32 types so that the build host can fuzz it.
#include <climits>
#include <cstddef>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bgr; // rows top-down, 3 bytes a pixel (blue, green, red), no row padding
};

// A shown size no scaled picture covers: the picture is decoded whole.
constexpr int kFullSize = INT_MAX;

// The denominator (8, 4, 2 or 1) of libjpeg's smallest scale 1/n at which an imageWidth x imageHeight
// picture still covers shownWidth x shownHeight, or 1 when none does. A smaller scale would have the
// stretch to the shown size enlarge the picture; a larger one decodes detail the stretch throws away.
int ScaleDenominator(int imageWidth, int imageHeight, int shownWidth, int shownHeight);

// Decodes a baseline JPEG at the scale ScaleDenominator picks for the size it is shown at (by default
// whole). A decoding error raises platform::Error("JPEG error #<code>"); libjpeg's error exit leaves by
// longjmp and the error is raised only after the jump, never through libjpeg. libjpeg's warnings (a
// truncated scan, corrupt entropy data) are not errors: the picture decodes as far as it can.
DecodedImage DecodeJpeg(const unsigned char* bytes, std::size_t size, int shownWidth = kFullSize,
                        int shownHeight = kFullSize);
