#pragma once
// The wizard's modal dialogs: the error box, the Yes/No question and the folder browser.
#include "engine/WizardServices.h"
#include "platform/win32/Win32.h"

#include <optional>
#include <string>

// Answers the dialogs instead of showing them, so in-process tests never wait for a person.
class DialogScript {
public:
    virtual ~DialogScript() = default;
    virtual void ErrorShown(const std::string& text) = 0;
    virtual ConfirmAnswer Answer(const std::string& text) = 0;
    // The folder the browser returns; empty means the user cancelled.
    virtual std::optional<std::string> ChooseFolder() { return std::nullopt; }
};

// nullptr shows the real dialogs again.
void SetDialogScript(DialogScript* script);

// Caption "Error", error icon, one "OK" that is both default and cancel button.
void ShowErrorDialog(const std::string& text);

// Caption "Confirm", question icon, "&Yes" (default) and "&No". Escape answers No; the close box
// answers neither (Closed). Owned by `owner`, centred on the screen.
ConfirmAnswer ShowConfirmDialog(HWND owner, const std::string& text);

// The shell's folder browser, prompt "Select Directory", centred on the monitor nearest `mainWindow`.
// The chosen folder, or nothing when the user cancels.
std::optional<std::string> BrowseForFolder(HWND mainWindow);

// The program's hidden top-level window that owns the folder browser.
HWND HiddenOwnerWindow();
