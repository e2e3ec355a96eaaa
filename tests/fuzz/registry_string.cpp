// DecodeStringValue with any name, type and data: zero-length data reads as empty, REG_SZ and
// REG_EXPAND_SZ read up to the first NUL, every other type is refused with the value's name.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "engine/RegistryRecords.h"
#include "platform/Error.h"

namespace {

void Expect(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto type = input.ConsumeIntegral<std::uint32_t>();
    // Value names are C strings, in the registry and in the error text alike.
    const std::string name = input.ConsumeRandomLengthString(64).c_str();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const bool isString = type == platform::kRegSz || type == platform::kRegExpandSz;
    try {
        const std::string text = DecodeStringValue(name, type, bytes);
        Expect(bytes.empty() || isString);
        Expect(text.find('\0') == std::string::npos);
        Expect(bytes.compare(0, text.size(), text) == 0);
        Expect(text.size() == bytes.size() || bytes[text.size()] == '\0');
    } catch (const platform::Error& error) {
        Expect(!bytes.empty() && !isString);
        Expect(error.what() == "Invalid data type for '" + name + "'");
    }
    return 0;
}
