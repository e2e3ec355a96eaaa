// DecodeJpeg with broken pictures: it returns a whole image or raises "JPEG error #<code>", nothing else.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    try {
        const DecodedImage image = DecodeJpeg(data, size);
        Expect(image.width > 0 && image.height > 0);
        Expect(image.bgr.size() == std::size_t(image.width) * std::size_t(image.height) * 3);
    } catch (const platform::Error& error) {
        Expect(IsJpegError(error.what()));
    }
    return 0;
}
