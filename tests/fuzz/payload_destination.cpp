// DestinationProblem with any destination and install folder. Whatever it accepts must stay inside the
// install folder and name a file there; whatever meets those rules must be accepted.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "engine/Payload.h"

namespace {

void Expect(bool condition) {
    if (!condition) std::abort();
}

bool IsDelimiter(char c) {
    return c == '/' || c == '\\';
}

// Written apart from the product's check, one rule a line.
bool Safe(const std::optional<std::string>& destination, const std::string& installFolder) {
    if (!destination || destination->empty()) return false;
    const std::string& name = *destination;
    if (IsDelimiter(name.front()) || IsDelimiter(name.back())) return false;
    if (name.find(':') != std::string::npos) return false;
    if (installFolder.size() + name.size() > 255) return false;
    std::string part;
    for (const char c : name + "/") {
        if (!IsDelimiter(c)) {
            part += c;
            continue;
        }
        if (part == "..") return false;
        part.clear();
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool recorded = input.ConsumeBool();
    const std::string installFolder = input.ConsumeRandomLengthString(300);
    std::optional<std::string> destination;
    if (recorded) destination = input.ConsumeRemainingBytesAsString();

    const auto problem = DestinationProblem(destination, installFolder);
    Expect(!problem || !problem->empty());
    Expect(!problem == Safe(destination, installFolder));
    return 0;
}
