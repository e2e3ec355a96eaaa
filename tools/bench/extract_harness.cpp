// extract_harness <Setup.exe> <target-folder>: the installer's own ExtractPayload, run against the
// resources of Setup.exe mapped as a data file, with the target folder as the install folder.
// Only the extraction is timed (tools/bench/ExtractTimer.h); opening the file is not, because the real
// installer finds its resources already mapped with its image.
#include "platform/win32/Win32.h"

#include <cstdio>
#include <exception>
#include <string>

#include "engine/InstallState.h"
#include "engine/Payload.h"
#include "engine/WizardServices.h"
#include "platform/Resources.h"
#include "tools/bench/ExtractTimer.h"

namespace {

// What the wizard does between files, minus a window to repaint: the pump still drains the queue,
// which costs a trip to the server per call.
class HarnessServices final : public WizardServices {
public:
    void SetStatus(const std::string&) override {}
    void StepProgress() override { ++steps; }
    void PumpMessages() override {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    void ErrorDialog(const std::string& text) override {
        std::fprintf(stderr, "error dialog: %s\n", text.c_str());
    }
    ConfirmAnswer Confirm(const std::string&) override { return ConfirmAnswer::No; }

    unsigned steps = 0;
};

int Run(const std::string& setupExe, const std::string& target) {
    platform::UseResourceModule(setupExe);
    HarnessServices services;
    AttachWizardServices(&services);
    // The wizard's thread has its message queue long before it copies; make this one's outside the timing.
    services.PumpMessages();
    State().InstallFolder = IncludeTrailingDelimiter(target);

    const bool ok = bench::TimeExtraction([] {
        ExtractPayload();
        return State().SkippedEntries.empty();
    });
    std::printf("files=%u\n", services.steps);
    for (const SkippedEntry& skipped : State().SkippedEntries)
        std::fprintf(stderr, "skipped %u %s: %s\n", skipped.number, skipped.name.c_str(),
                     skipped.reason.c_str());
    AttachWizardServices(nullptr);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: extract_harness <Setup.exe> <target-folder>\n");
        return 2;
    }
    try {
        return Run(argv[1], argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "extract_harness: %s\n", error.what());
        return 1;
    }
}
