// DecodeJpeg with broken pictures, whole and scaled: it returns a complete image or raises "JPEG error
// #<code>", nothing else.
#include <cstdlib>
#include <string>

#include "platform/Error.h"
#include "ui/JpegDecoder.h"

namespace {

void Expect(bool condition) {
    if (!condition) std::abort();
}

bool IsJpegError(const std::string& text) {
    const std::string prefix = "JPEG error #";
    if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0) return false;
    return text.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

// The size shown, picked by the input's length: whole, the banner at 96 dpi (its 1/2 scale), near its
// 1/4 scale, and 1 x 1 (the 1/8 scale of any picture).
constexpr struct {
    int width, height;
} kShown[] = {{kFullSize, kFullSize}, {162, 280}, {100, 150}, {1, 1}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const auto shown = kShown[size % 4];
    try {
        const DecodedImage image = DecodeJpeg(data, size, shown.width, shown.height);
        Expect(image.width > 0 && image.height > 0);
        Expect(image.bgr.size() == std::size_t(image.width) * std::size_t(image.height) * 3);
    } catch (const platform::Error& error) {
        Expect(IsJpegError(error.what()));
    }
    return 0;
}
