#pragma once
// An in-memory Windows for the engine's unit tests: files and folders, a registry tree with value
// types, the installer's resources, and switches that make chosen calls fail.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/WizardServices.h"

namespace fake {

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using NameSet = std::set<std::string, NoCaseLess>;
template <class T> using NameMap = std::map<std::string, T, NoCaseLess>;

struct Value {
    std::uint32_t type;
    std::string bytes;
};

struct Key {
    NameMap<Value> values;
    bool openable = true;   // false: exists, but even reading it is denied
    bool fullAccess = true; // false: it opens for reading only
    bool writable = true;   // false: setting a value fails
};

struct World {
    std::string systemDirectory = "C:\\Windows\\system32";
    NameSet drives{"C:", "D:", "E:"};
    NameSet folders;                  // without trailing delimiter
    NameMap<std::string> files;       // path -> contents
    NameSet readOnlyFiles;            // read-only files: never replaced
    NameSet filesInUse;               // held open by another program: neither created nor replaced
    NameSet failingFolders;           // CreateDirectoryA fails on these
    NameSet diskFullAt;               // writing this path runs out of disk space
    NameSet tooLongToReplace;         // an existing file here has no room beside it for a temporary name
    unsigned clock = 0;               // milliseconds, moved on only by the wizard's Wait
    NameMap<unsigned> heldUntil;      // held open until the clock says so; path + "~": its new copy is
    std::optional<std::uint64_t> freeSpace; // GetDiskFreeSpaceExA's answer (nothing: it fails)...
    std::string freeSpaceAsked;             // ...for this folder
    NameMap<std::string> holders;     // the program the Restart Manager names for a path
    std::multiset<std::string, NoCaseLess> folderLookups; // every folder asked about, once per question
    NameMap<Key> registry;            // "HKLM\Software\Torvek" (no trailing delimiter)
    NameSet uncreatableKeys;          // RegCreateKeyExA fails on these
    NameMap<std::string> resources;   // "FILE1" -> bytes
    std::vector<std::string> resourceLookups; // every name asked for, in order
    std::map<unsigned, std::string> strings;
    NameMap<std::string> environment;      // for ExpandEnvironmentStringsA
    std::vector<const void*> writeSources; // the buffer each WriteFile was given
    int openKeys = 0;                      // keys opened and not yet closed

    struct Link {
        std::string target;
        std::string workingDirectory;
    };
    NameMap<Link> links;                                      // shell links written, by link path
    std::string linkFailure;                                  // non-empty: writing a link raises this message
    std::vector<std::pair<std::string, std::string>> started; // program, current directory
    std::vector<std::string> opened;                          // documents handed to the shell
    std::string shellDesktop;                                 // what the shell reports as the user's desktop
    std::string shellCommonPrograms;                          // ...and as the all-users Programs folder
    int associationNotices = 0;
    std::vector<std::string> keysWritten; // registry keys whose values were set, in order
};

World& TheWorld();
void Reset();                                        // a new machine with an empty install state
std::string KeyPath(const std::string& rootAndPath); // normalised registry path

// Helpers for arranging a machine.
void AddFolderTree(const std::string& folder);
void SetString(const std::string& key, const std::string& name, const std::string& value,
               std::uint32_t type = 1);
const Value* FindValue(const std::string& key, const std::string& name);
void AddEntry(unsigned number, const std::string& destination, const std::string& bytes);

// The message of the platform::Error a step raises, or "<no error>".
std::string ErrorOf(const std::function<void()>& step);

// Records what the engine tells the wizard.
class RecordingServices final : public WizardServices {
public:
    std::vector<std::string> statuses;
    std::vector<std::string> errors;
    std::vector<std::string> questions;
    std::vector<std::string> boxes; // "caption: text", "caption (Ignore): text"
    std::deque<RetryAnswer> retryAnswers; // then Cancel
    std::deque<bool> cancelAnswers;       // then true
    int steps = 0;
    int pumps = 0;
    ConfirmAnswer answer = ConfirmAnswer::Yes;
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void StepProgress() override { ++steps; }
    void PumpMessages() override { ++pumps; }
    void ErrorDialog(const std::string& text) override { errors.push_back(text); }
    ConfirmAnswer Confirm(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    RetryAnswer RetryBox(const std::string& caption, const std::string& text, bool ignorable) override {
        boxes.push_back(caption + (ignorable ? " (Ignore): " : ": ") + text);
        return Take(retryAnswers, RetryAnswer::Cancel);
    }
    bool CancelConfirmed() override { return Take(cancelAnswers, true); }
    void Wait(unsigned milliseconds) override { TheWorld().clock += milliseconds; }

private:
    template <class T> static T Take(std::deque<T>& answers, T last) {
        const T next = answers.empty() ? last : answers.front();
        if (!answers.empty()) answers.pop_front();
        return next;
    }
};

} // namespace fake
