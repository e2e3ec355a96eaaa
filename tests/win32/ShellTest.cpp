// Shortcuts, associations and the finish actions against the real shell of the test prefix.
#include "platform/win32/Win32.h"

#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "engine/Associations.h"
#include "engine/InstallState.h"
#include "engine/Shortcuts.h"
#include "platform/Shell.h"
#include "platform/win32/ScopedHandles.h"

namespace {

std::string TempFolder(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The report the sample program appends when started: command line, then current directory.
std::string WaitForReport(const std::string& path) {
    for (int i = 0; i < 200; ++i) {
        const std::string text = ReadFile(path);
        if (text.find("\r\n", text.find("\r\n") + 2) != std::string::npos) return text;
        Sleep(50);
    }
    return {};
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    int count = 0;
    std::wstring wide(commandLine.begin(), commandLine.end());
    LPWSTR* arguments = CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i) {
        std::wstring argument = arguments[i];
        result.emplace_back(argument.begin(), argument.end());
    }
    LocalFree(arguments);
    return result;
}

// On a fresh thread, so that no other test's COM state is in the way. CoInitializeEx answers S_FALSE
// on a thread that is in the apartment already and S_OK on one that is not.
template <typename Body> void OnFreshThread(Body body) {
    struct Call {
        static DWORD WINAPI Run(LPVOID body) {
            (*static_cast<Body*>(body))();
            return 0;
        }
    };
    const HANDLE thread = CreateThread(nullptr, 0, Call::Run, &body, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

HRESULT ApartmentProbe() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(result)) CoUninitialize();
    return result;
}

// Start-up loads no COM: the run's apartment is entered by the first call that needs it, once, and left
// when the run ends. Without the run's scope (a test that brings its own COM), entering does nothing.
TEST(ComOnDemand, EnteredOnceByTheFirstCallerAndLeftWithTheRun) {
    OnFreshThread([] {
        {
            platform::win32::ComApartmentOnDemand run;
            EXPECT_EQ(ApartmentProbe(), S_OK) << "not entered at start";
            platform::win32::ComApartmentOnDemand::Enter();
            platform::win32::ComApartmentOnDemand::Enter();
            EXPECT_EQ(ApartmentProbe(), S_FALSE) << "entered";
        }
        EXPECT_EQ(ApartmentProbe(), S_OK) << "left with the run, and only once entered";
        platform::win32::ComApartmentOnDemand::Enter();
        EXPECT_EQ(ApartmentProbe(), S_OK) << "no run, nothing entered";
    });
}

// A shell link is the first caller in a run: the link is written without COM entered beforehand.
TEST(ComOnDemand, AShellLinkEntersTheApartmentItNeeds) {
    const std::string link = TempFolder("Pellum Com") + "\\Notepad.lnk";
    DeleteFileA(link.c_str());
    OnFreshThread([&] {
        platform::win32::ComApartmentOnDemand run;
        try {
            platform::WriteShellLink("C:\\windows\\notepad.exe", "C:\\windows", link);
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
        EXPECT_EQ(ApartmentProbe(), S_FALSE);
    });
    EXPECT_NE(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(link.c_str());
}

class ShellInPrefix : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override {
        for (const char* key : {".asm", ".inc", ".rc", ".kelp", "TorvekPellum.asm", "TorvekPellum.inc",
                                "TorvekPellum.rc", "TorvekPellum.kelp"})
            RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
        SetEnvironmentVariableA("TORVEK_SAMPLE_REPORT", nullptr);
        CoUninitialize();
    }
    // The sample main program installed into a folder whose name has spaces.
    std::string InstallSample() {
        const std::string folder = TempFolder("Pellum Test Folder") + "\\";
        const std::string program = folder + "TorvekKel3.exe";
        EXPECT_TRUE(CopyFileA(TEST_SAMPLE_PROGRAM, program.c_str(), FALSE)) << TEST_SAMPLE_PROGRAM;
        ResetInstallState();
        State().InstallFolder = folder;
        State().MainFileName = "TorvekKel3.exe";
        return program;
    }
};

TEST_F(ShellInPrefix, ShortcutReadsBackWithTargetAndWorkingDirectory) {
    const std::string link = TempFolder("pellum-links") + "\\Torvek Pellum.lnk";
    const std::string target = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\TorvekKel3.exe";
    CreateShortcut(target, link);
    CreateShortcut(target, link); // replaced without asking

    IShellLinkA* shellLink = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&shellLink)),
              S_OK);
    IPersistFile* file = nullptr;
    shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    const std::wstring wideLink(link.begin(), link.end());
    ASSERT_EQ(file->Load(wideLink.c_str(), STGM_READ), S_OK);
    char path[MAX_PATH] = {}, directory[MAX_PATH] = {};
    shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
    shellLink->GetWorkingDirectory(directory, MAX_PATH);
    EXPECT_STREQ(path, target.c_str());
    EXPECT_STREQ(directory, "C:\\Program Files\\Torvek\\Pellum 3.9.8.7");
    file->Release();
    shellLink->Release();
    DeleteFileA(link.c_str());
}

TEST_F(ShellInPrefix, OpeningADocumentStartsTheProgramWithTheWholePath) {
    const std::string program = InstallSample();
    BuildAssociations();
    RegisterAssociations(State().Associations.get(), program);
    FreeAssociations();

    char progId[64] = {}, command[MAX_PATH * 2] = {};
    DWORD size = sizeof progId;
    RegGetValueA(HKEY_CLASSES_ROOT, ".asm", nullptr, RRF_RT_REG_SZ, nullptr, progId, &size);
    EXPECT_STREQ(progId, "TorvekPellum.asm");
    size = sizeof command;
    RegGetValueA(HKEY_CLASSES_ROOT, "TorvekPellum.kelp\\Shell\\Open\\Command", nullptr, RRF_RT_REG_SZ,
                 nullptr, command, &size);
    EXPECT_EQ(std::string(command), "\"" + program + "\" \"%1\"");

    const std::string folder = TempFolder("pellum docs with spaces");
    const std::string document = folder + "\\hello world.asm";
    std::ofstream(document) << "; sample\n";
    const std::string report = folder + "\\report.txt";
    DeleteFileA(report.c_str()); // a folder left by an earlier run with the same process id
    SetEnvironmentVariableA("TORVEK_SAMPLE_REPORT", report.c_str());

    SHELLEXECUTEINFOA open = {};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_NOCLOSEPROCESS;
    open.lpVerb = "open";
    open.lpFile = document.c_str();
    open.nShow = SW_SHOW;
    ASSERT_TRUE(ShellExecuteExA(&open));
    const std::string text = WaitForReport(report);
    if (open.hProcess) {
        TerminateProcess(open.hProcess, 0);
        CloseHandle(open.hProcess);
    }
    const auto arguments = SplitCommandLine(text.substr(0, text.find("\r\n")));
    ASSERT_EQ(arguments.size(), 2u) << text;
    EXPECT_EQ(arguments[1], document);
}

TEST_F(ShellInPrefix, StartProgramRunsInTheInstallFolder) {
    const std::string program = InstallSample();
    const std::string report = State().InstallFolder + "started.txt";
    DeleteFileA(report.c_str()); // a folder left by an earlier run with the same process id
    SetEnvironmentVariableA("TORVEK_SAMPLE_REPORT", report.c_str());
    RunFinishActions(true, false, false);
    const std::string text = WaitForReport(report);
    const auto lines = text.substr(text.find("\r\n") + 2);
    EXPECT_EQ(lines, State().InstallFolder.substr(0, State().InstallFolder.size() - 1) + "\r\n");
    // The sample keeps running; close its window and wait until it is gone, so its file is free again.
    for (int i = 0; i < 100; ++i) {
        if (HWND window = FindWindowA(nullptr, "Torvek Pellum 3.9.8.7")) {
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
            PostMessageA(window, WM_CLOSE, 0, 0);
            if (process) {
                WaitForSingleObject(process, 10000);
                CloseHandle(process);
            }
            break;
        }
        Sleep(50);
    }
}

TEST_F(ShellInPrefix, GroupAndDesktopShortcutsLandInTheShellsFolders) {
    InstallSample();
    CreateProgramGroup();
    RunFinishActions(false, false, true);
    char programs[MAX_PATH] = {}, desktop[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
    const std::string group = std::string(programs) + "\\Torvek\\Torvek Pellum 3.9.8.7\\";
    const std::string links[] = {group + "Torvek Pellum.lnk", group + "Uninstall.lnk", group + "Manual.lnk",
                                 std::string(desktop) + "\\Torvek Pellum 3.9.8.7.lnk"};
    for (const auto& link : links) {
        EXPECT_NE(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES) << link;
        DeleteFileA(link.c_str());
    }
    EXPECT_EQ(platform::UserDesktopFolder() + "|" + platform::CommonProgramsFolder(),
              std::string(desktop) + "|" + programs);
}

} // namespace

namespace {

// The text a shell-link failure is reported with: the system's own words, or the code in the form the
// system's documentation writes it, never a negative decimal.
TEST(SystemMessage, SystemTextOrEightHexDigits) {
    EXPECT_EQ(platform::SystemMessage(static_cast<long>(0x8004FF7Bu)), "Error 0x8004FF7B");
    EXPECT_EQ(platform::SystemMessage(0x0000BEEF), "Error 0x0000BEEF");
    const std::string known = platform::SystemMessage(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(known.empty());
    EXPECT_EQ(known.find("Error 0x"), std::string::npos) << known;
    EXPECT_NE(known.back(), '\n');
}

} // namespace
