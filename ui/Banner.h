#pragma once
// The wizard's banner: a baseline JPEG carried as a resource, decoded with libjpeg.
#include "platform/win32/Win32.h"

#include "ui/JpegDecoder.h"

// The banner resource ("BANNER", RT_RCDATA) of the running program, decoded at the smallest of
// libjpeg's scales that covers the size it is shown at (by default whole). Raises platform::Error
// when the program carries no banner.
DecodedImage LoadBanner(int shownWidth = kFullSize, int shownHeight = kFullSize);

// A bitmap compatible with the screen holding the image stretched (HALFTONE) to width x height. The
// caller owns it (DeleteObject, or gdi::Bitmap). Raises platform::Error when GDI cannot make it.
HBITMAP MakeStretchedBitmap(const DecodedImage& image, int width, int height);
