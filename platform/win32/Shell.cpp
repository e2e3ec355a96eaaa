// Shell links, process start, shell open and the shell's folders.
#include "platform/Shell.h"

#include "platform/Error.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/LateBound.h"
#include "platform/win32/ScopedHandles.h"

#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>


namespace platform {
namespace {

HWND shellOwner = nullptr;

const char kShellLinkClassId[] = "{00021401-0000-0000-C000-000000000046}";

template <typename Interface> win32::ComPtr<Interface> QueryOrRaise(IUnknown* object, REFIID id) {
    win32::ComPtr<Interface> result;
    if (FAILED(object->QueryInterface(id, result.put()))) throw Error("Interface not supported");
    return result;
}

// The wide call: the ANSI one converts into a buffer of MAX_PATH bytes, which a name in another script
// can overrun in UTF-8 (cut short, without its NUL). Empty when the shell does not know the folder.
std::string ShellFolder(int folder) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(win32::late::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return win32::Narrow(path);
}

// "Error 0x80040154": the code as the system's documentation writes it.
std::string HexCode(HRESULT code) {
    char text[24];
    ::wsprintfA(text, "Error 0x%08lX", static_cast<unsigned long>(code));
    return text;
}

} // namespace

std::string SystemMessage(long code) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length ? std::string(text, length) : HexCode(code);
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

void WriteShellLink(const std::string& target, const std::string& workingDirectory,
                    const std::string& linkPath) {
    win32::ComApartmentOnDemand::Enter();
    win32::ComPtr<IUnknown> object;
    const HRESULT created = win32::late::CoCreateInstance(
        CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown, object.put());
    if (FAILED(created)) throw Error(SystemMessage(created) + ", ClassID: " + kShellLinkClassId);
    const auto link = QueryOrRaise<IShellLinkA>(object.Get(), IID_IShellLinkA);
    const auto file = QueryOrRaise<IPersistFile>(object.Get(), IID_IPersistFile);
    // Deliberately unchecked: a failure here leaves the shortcut missing or incomplete, nothing worse.
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingDirectory.c_str());
    file->Save(win32::Widen(linkPath).data(), FALSE);
}

void StartProcess(const std::string& path, const std::string& currentDirectory) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                         currentDirectory.c_str(), &startup, &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
}

void OpenDocument(const std::string& path) {
    win32::ComApartmentOnDemand::Enter(); // the shell may hand the document to a COM handler
    win32::late::ShellExecuteA(shellOwner, "open", path.c_str(), nullptr, nullptr, SW_SHOW);
}

void SetShellOwner(void* window) {
    shellOwner = static_cast<HWND>(window);
}

std::string UserDesktopFolder() {
    return ShellFolder(CSIDL_DESKTOPDIRECTORY);
}

std::string CommonProgramsFolder() {
    return ShellFolder(CSIDL_COMMON_PROGRAMS);
}

void NotifyAssociationsChanged() {
    win32::late::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

} // namespace platform
