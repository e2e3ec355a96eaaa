#include "engine/WizardServices.h"

namespace {

// Answers for the engine before the wizard exists: nothing is shown, questions are answered No.
class SilentServices final : public WizardServices {
public:
    void SetStatus(const std::string&) override {}
    void StepProgress() override {}
    void PumpMessages() override {}
    void ErrorDialog(const std::string&) override {}
    ConfirmAnswer Confirm(const std::string&) override { return ConfirmAnswer::No; }
};

SilentServices silent;
WizardServices* attached = nullptr;

} // namespace

void AttachWizardServices(WizardServices* services) {
    attached = services;
}

WizardServices& Services() {
    return attached ? *attached : silent;
}
