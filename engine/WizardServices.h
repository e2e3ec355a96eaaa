#pragma once
// What the engine needs from the wizard while it works: a status line, a progress bar, a message pump
// and the two message dialogs. The wizard window implements it; unit tests use a recorder.
#include <string>

enum class ConfirmAnswer { Yes, No, Closed };

class WizardServices {
public:
    virtual ~WizardServices() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void StepProgress() = 0;
    virtual void PumpMessages() = 0;
    virtual void ErrorDialog(const std::string& text) = 0;
    virtual ConfirmAnswer Confirm(const std::string& text) = 0;
};

// The wizard attaches itself once it exists; until then (and with nullptr) a silent stand-in answers.
void AttachWizardServices(WizardServices* services);
WizardServices& Services();
