// The top-level error report: a stop box with the error's message, titled with the application's title.
#include "ui/ErrorReport.h"

#include "platform/win32/Win32.h"
#include "ui/Dialogs.h"

namespace {

constexpr char kUnknownError[] = "An unknown error occurred";

ReportHook reportHook = nullptr;

std::string ThisExecutable() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

// The message of the exception being handled; called only inside a catch block.
std::string CurrentMessage() {
    if (!std::current_exception()) return kUnknownError;
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return kUnknownError;
    }
}

// Both windows take no input while the report is open, as with the program's other boxes; topmost, or
// a report raised while the backdrop is active would open behind the always-on-top wizard.
void Show(const std::string& title, const std::string& text) {
    if (reportHook) return reportHook(title, text);
    ModalScope modal;
    ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
}

} // namespace

std::string ApplicationTitle(const std::string& executablePath) {
    const std::size_t folderEnd = executablePath.find_last_of('\\');
    std::string title = executablePath.substr(folderEnd == std::string::npos ? 0 : folderEnd + 1);
    title = title.substr(0, title.find('.'));
    // The ANSI code page's lower case, as the rest of the program's texts use it.
    if (title.size() > 1) ::CharLowerBuffA(&title[1], static_cast<DWORD>(title.size() - 1));
    return title;
}

std::string ReportText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

void ReportUnhandledError() {
    try {
        Show(ApplicationTitle(ThisExecutable()), ReportText(CurrentMessage()));
    } catch (...) {
        // Nothing is left to report to: the report itself failed (out of memory).
    }
}

void SetReportHook(ReportHook hook) {
    reportHook = hook;
}
