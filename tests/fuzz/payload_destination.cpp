// DestinationProblem with any destination and install folder. Whatever it accepts must stay inside the
// install folder and name a file there; whatever meets those rules must be accepted.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "engine/Payload.h"

namespace {

void Expect(bool condition) {
    if (!condition) std::abort();
}

bool Reserved(std::string stem) {
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* name : {"CON", "PRN", "AUX", "NUL"})
        if (stem == name) return true;
    for (const char* prefix : {"COM", "LPT"})
        for (char digit = '1'; digit <= '9'; ++digit)
            if (stem == std::string(prefix) + digit) return true;
    return false;
}

bool SafePart(const std::string& part) {
    if (part.empty() || part == "." || part == "..") return false;
    for (const char c : part)
        if (static_cast<unsigned char>(c) < 32 || c == 127 || std::string("<>:\"|?*;").find(c) != std::string::npos)
            return false;
    if (part.back() == ' ' || part.back() == '.') return false;
    return !Reserved(part.substr(0, part.find('.')));
}

// Written apart from the product's check, one rule a line.
bool Safe(const std::optional<std::string>& destination, const std::string& installFolder) {
    if (!destination || destination->empty()) return false;
    const std::string& name = *destination;
    if (installFolder.size() + name.size() > 255) return false;
    if (name.find('\\') != std::string::npos) return false;
    std::string part;
    for (const char c : name + "/") {
        if (c != '/') {
            part += c;
        } else if (!SafePart(part)) {
            return false;
        } else {
            part.clear();
        }
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
