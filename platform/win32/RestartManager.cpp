// Which programs hold a file, as the system's Restart Manager knows it. Asked only once a file has been
// found held, to name the programs in the box; it never closes or restarts anything.
#include "platform/Files.h"

#include "platform/win32/LateBound.h"

#include <algorithm>

namespace platform {
namespace {

namespace late = win32::late;

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
    std::vector<RM_PROCESS_INFO> found;
    for (int attempt = 0; attempt < 3; ++attempt) {
        UINT needed = 0, count = static_cast<UINT>(found.size());
        DWORD reasons = 0;
        const DWORD result = late::RmGetList(session.Handle(), &needed, &count, found.data(), &reasons);
        if (result == ERROR_SUCCESS) {
            found.resize(std::min<std::size_t>(count, found.size()));
            return found;
        }
        if (result != ERROR_MORE_DATA) break;
        found = std::vector<RM_PROCESS_INFO>(needed);
    }
    return {};
}

} // namespace

// Each file is registered alone: a path of at most kMaxPathLength bytes widens to as many UTF-16 units.
std::vector<std::string> ProgramsHolding(const std::vector<std::string>& paths) {
    RestartSession session;
    if (!session.Started()) return {};
    for (const std::string& path : paths) {
        WCHAR wide[kPathBufferLength];
        LPCWSTR names[] = {wide};
        if (!::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, kPathBufferLength) ||
            late::RmRegisterResources(session.Handle(), 1, names, 0, nullptr, 0, nullptr) != ERROR_SUCCESS)
            return {};
    }
    std::vector<std::string> programs;
    for (const RM_PROCESS_INFO& holder : Holders(session)) {
        char name[4 * (CCH_RM_MAX_APP_NAME + 1)];
        if (!::WideCharToMultiByte(CP_ACP, 0, holder.strAppName, -1, name, sizeof name, nullptr, nullptr)) continue;
        if (*name && std::find(programs.begin(), programs.end(), name) == programs.end()) programs.push_back(name);
    }
    return programs;
}

} // namespace platform
