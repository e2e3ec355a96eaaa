// libjpeg decoding behind setjmp: libjpeg's errors become platform::Error without unwinding through C.
#include "ui/JpegDecoder.h"

#include "platform/Error.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// Far above the banner's 788 KB; a forged header must not make us reserve gigabytes.
constexpr std::uint64_t kMaxPixelBytes = 64u << 20;

// libjpeg's error exit must not return; it jumps back to the setjmp of the step that called libjpeg.
struct JumpingErrorManager {
    jpeg_error_mgr base; // first member: libjpeg sees only this part
    std::jmp_buf resume;
};

void JumpOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JumpingErrorManager*>(info->err)->resume, 1);
}

// Warnings and traces are dropped: a GUI program has no stderr, and a warning (a cut scan, corrupt
// data) lets the picture decode as far as it can.
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}
void EmptyText(j_common_ptr, char* buffer) { buffer[0] = '\0'; }
void NothingToReset(j_common_ptr) {}

// Owns the decompressor. The struct starts zeroed, so destroying it is safe even when creation failed.
class Decompressor {
public:
    // The error manager is filled here rather than by jpeg_std_error, which would link libjpeg's
    // message table and printf formatting (about 6 KB) for texts nobody reads: errors travel as codes.
    Decompressor() {
        errors_.base.error_exit = JumpOnError;
        errors_.base.emit_message = IgnoreMessage;
        errors_.base.output_message = IgnoreOutput;
        errors_.base.format_message = EmptyText;
        errors_.base.reset_error_mgr = NothingToReset;
        info_.err = &errors_.base;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info_); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct* Info() { return &info_; }
    std::jmp_buf& Resume() { return errors_.resume; }
    [[noreturn]] void Raise() const { Raise(errors_.base.msg_code); }
    [[noreturn]] static void Raise(int code) { throw platform::Error("JPEG error #" + std::to_string(code)); }

private:
    JumpingErrorManager errors_{};
    jpeg_decompress_struct info_{};
};

// Each step calls libjpeg under its own setjmp. Nothing with a destructor lives in these frames, so the
// jump skips nothing; the error is raised by the caller, after the jump.
bool ReadHeader(Decompressor& decompressor, const unsigned char* bytes, unsigned long size, int shownWidth,
                int shownHeight) {
    jpeg_decompress_struct* info = decompressor.Info();
    if (setjmp(decompressor.Resume())) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, bytes, size);
    jpeg_read_header(info, TRUE);
    info->scale_num = 1;
    info->scale_denom = static_cast<unsigned>(ScaleDenominator(static_cast<int>(info->image_width),
                                                               static_cast<int>(info->image_height), shownWidth,
                                                               shownHeight));
    info->out_color_space = JCS_EXT_BGR;
    jpeg_calc_output_dimensions(info);
    return true;
}

bool ReadRows(Decompressor& decompressor, unsigned char* pixels, std::size_t rowBytes) {
    jpeg_decompress_struct* info = decompressor.Info();
    if (setjmp(decompressor.Resume())) return false;
    jpeg_start_decompress(info);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = pixels + info->output_scanline * rowBytes;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

// libjpeg rounds a scaled size up.
int ScaleDenominator(int imageWidth, int imageHeight, int shownWidth, int shownHeight) {
    for (int denominator = 8; denominator > 1; denominator /= 2)
        if ((imageWidth + denominator - 1) / denominator >= shownWidth &&
            (imageHeight + denominator - 1) / denominator >= shownHeight)
            return denominator;
    return 1;
}

DecodedImage DecodeJpeg(const unsigned char* bytes, std::size_t size, int shownWidth, int shownHeight) {
    Decompressor decompressor;
    if (!ReadHeader(decompressor, bytes, static_cast<unsigned long>(size), shownWidth, shownHeight))
        decompressor.Raise();
    const jpeg_decompress_struct& info = *decompressor.Info();
    const std::uint64_t rowBytes = std::uint64_t{info.output_width} * 3;
    if (rowBytes * info.output_height > kMaxPixelBytes) Decompressor::Raise(JERR_IMAGE_TOO_BIG);

    DecodedImage image;
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    image.bgr.resize(static_cast<std::size_t>(rowBytes * info.output_height));
    if (!ReadRows(decompressor, image.bgr.data(), static_cast<std::size_t>(rowBytes))) decompressor.Raise();
    return image;
}
