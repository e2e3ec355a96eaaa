// Which programs hold a file, as the system's Restart Manager knows it. Asked only once a file has been
// found held, to name the programs in the box; it never closes or restarts anything.
#include "platform/Files.h"

#include "platform/win32/LateBound.h"

#include <algorithm>

namespace platform {
namespace {

namespace late = win32::late;

// Through the ANSI code page, as the system widens the program's other texts; NUL-terminated.
std::vector<wchar_t> Widened(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(std::max(length, 1)), L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    return wide;
}

std::string Narrowed(const wchar_t* text) {
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> narrow(static_cast<std::size_t>(std::max(length, 1)), '\0');
    if (length > 0) ::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    return std::string(narrow.data());
}

// One Restart Manager session, ended when it goes.
class RestartSession {
public:
    RestartSession() {
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        started_ = late::RmStartSession(&handle_, 0, key) == ERROR_SUCCESS;
    }
    ~RestartSession() {
        if (started_) late::RmEndSession(handle_);
    }
    RestartSession(const RestartSession&) = delete;
    RestartSession& operator=(const RestartSession&) = delete;

    bool Started() const { return started_; }
    DWORD Handle() const { return handle_; }

private:
    DWORD handle_ = 0;
    bool started_ = false;
};

// The session's list of processes; empty when it cannot be had. The list may grow between the call
// that sizes it and the one that fills it, so it is asked for a few times.
std::vector<RM_PROCESS_INFO> Holders(const RestartSession& session) {
    std::vector<RM_PROCESS_INFO> found(4);
    for (int attempt = 0; attempt < 3; ++attempt) {
        UINT needed = 0, count = static_cast<UINT>(found.size());
        DWORD reasons = 0;
        const DWORD result = late::RmGetList(session.Handle(), &needed, &count, found.data(), &reasons);
        if (result == ERROR_SUCCESS) {
            found.resize(std::min<std::size_t>(count, found.size()));
            return found;
        }
        if (result != ERROR_MORE_DATA) break;
        found.resize(needed);
    }
    return {};
}

} // namespace

std::vector<std::string> ProgramsHolding(const std::vector<std::string>& paths) {
    RestartSession session;
    if (!session.Started() || paths.empty()) return {};
    std::vector<std::vector<wchar_t>> wide;
    for (const std::string& path : paths)
        wide.push_back(Widened(path));
    std::vector<LPCWSTR> names;
    for (const auto& name : wide)
        names.push_back(name.data());
    if (late::RmRegisterResources(session.Handle(), static_cast<UINT>(names.size()), names.data(), 0, nullptr,
                                  0, nullptr) != ERROR_SUCCESS)
        return {};
    std::vector<std::string> programs;
    for (const RM_PROCESS_INFO& holder : Holders(session)) {
        const std::string name = Narrowed(holder.strAppName);
        if (!name.empty() && std::find(programs.begin(), programs.end(), name) == programs.end())
            programs.push_back(name);
    }
    return programs;
}

} // namespace platform
