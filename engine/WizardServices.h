#pragma once
// What the engine needs from the wizard while it works: a status line, a progress bar, a message pump,
// a pause that keeps the windows alive, and the message dialogs. The wizard window implements it; unit
// tests use a recorder.
#include <string>

enum class ConfirmAnswer { Yes, No, Closed };
enum class RetryAnswer { Retry, Ignore, Cancel };

class WizardServices {
public:
    virtual ~WizardServices() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void StepProgress() = 0;
    virtual void PumpMessages() = 0;
    virtual void ErrorDialog(const std::string& text) = 0;
    virtual ConfirmAnswer Confirm(const std::string& text) = 0;
    // A warning box with Retry and Cancel, and Ignore when `ignorable`. Escape and the close box answer
    // Cancel, as a service without windows does.
    virtual RetryAnswer RetryBox(const std::string&, const std::string&, bool) { return RetryAnswer::Cancel; }
    // The Cancel question; true when the user ends the program (then already asked to end).
    virtual bool CancelConfirmed() { return false; }
    // Waits about this long while the windows stay painted and usable; with no windows, not at all.
    virtual void Wait(unsigned) {}
};

// The wizard attaches itself once it exists; until then (and with nullptr) a silent stand-in answers.
void AttachWizardServices(WizardServices* services);
WizardServices& Services();
