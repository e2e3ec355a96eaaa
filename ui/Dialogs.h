#pragma once
// The wizard's modal dialogs: the error box, the Yes/No question and the folder browser.
#include "engine/WizardServices.h"
#include "platform/win32/Win32.h"

#include <optional>
#include <string>
#include <vector>

// Answers the dialogs instead of showing them, so in-process tests never wait for a person.
class DialogScript {
public:
    virtual ~DialogScript() = default;
    virtual void ErrorShown(const std::string& text) = 0;
    virtual ConfirmAnswer Answer(const std::string& text) = 0;
    virtual RetryAnswer AnswerRetry(const std::string&, const std::string&) { return RetryAnswer::Cancel; }
    // The folder the browser returns; empty means the user cancelled.
    virtual std::optional<std::string> ChooseFolder() { return std::nullopt; }
};

// An in-memory dialog template: DLGTEMPLATE and its items, each DWORD-aligned, with the ANSI texts
// widened through the ANSI code page. Items are placed by the dialog procedure.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, WORD items, const char* caption);
    // atom: 0x0080 button, 0x0082 static
    void Item(DWORD style, WORD id, WORD atom, const char* text);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Text(const char* text);
    std::vector<WORD> words_;
};

// While a modal box or dialog is open, every other window of the program takes no input (the
// backdrop's close box would otherwise stack a second question on the first); afterwards the window
// that was active gets the activation back. A dialog's own owner (`except`) is left to the dialog
// manager, which disables and re-enables it and hands activation back to it itself.
class ModalScope {
public:
    explicit ModalScope(HWND except = nullptr);
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self);

    HWND except_;
    HWND active_;
    std::vector<HWND> disabled_;
};

// nullptr shows the real dialogs again.
void SetDialogScript(DialogScript* script);

// Caption "Error", error icon, one "OK" that is both default and cancel button.
void ShowErrorDialog(const std::string& text);

// Caption "Confirm", question icon, "&Yes" (default) and "&No". Escape answers No; the close box
// answers neither (Closed). Owned by `owner`, centred on the screen.
ConfirmAnswer ShowConfirmDialog(HWND owner, const std::string& text);

// Caption as given, warning icon, "&Retry" (default), "&Ignore" when `ignorable`, and "Cancel", which
// Escape and the close box also answer. Owned by `owner`, centred on the screen.
RetryAnswer ShowRetryDialog(HWND owner, const std::string& caption, const std::string& text, bool ignorable);

// The shell's folder browser, prompt "Select Directory", centred on the monitor nearest `mainWindow`.
// The chosen folder, or nothing when the user cancels.
std::optional<std::string> BrowseForFolder(HWND mainWindow);

// The program's hidden top-level window that owns the folder browser.
HWND HiddenOwnerWindow();
