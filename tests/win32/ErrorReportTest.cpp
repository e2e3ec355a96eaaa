// The top-level error report: its title and full-stop rules, and what reaches it from a handler.
#include "platform/win32/Win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Error.h"
#include "ui/ErrorReport.h"
#include "ui/Backdrop.h"

namespace {

struct Report {
    std::string title, text;
};
std::vector<Report> reports;

void Record(const std::string& title, const std::string& text) {
    reports.push_back({title, text});
}

class ErrorReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        reports.clear();
        SetReportHook(Record);
    }
    void TearDown() override { SetReportHook(nullptr); }
};

TEST(ApplicationTitle, NameWithoutFolderOrAnythingFromTheFirstDotFirstCharacterKept) {
    EXPECT_EQ("Setup", ApplicationTitle("C:\\x\\SETUP.EXE"));
    EXPECT_EQ("my", ApplicationTitle("my.setup.exe"));
    EXPECT_EQ("Install", ApplicationTitle("C:\\Torvek.Pellum 3.9\\INSTALL"));
    EXPECT_EQ("Torvek pellum 3", ApplicationTitle("D:\\Torvek Pellum 3.9.8.7.exe"));
    EXPECT_EQ("S", ApplicationTitle("C:\\S.EXE"));
    EXPECT_EQ("", ApplicationTitle("C:\\dir\\.exe"));
    EXPECT_EQ("", ApplicationTitle(""));
    // Lower case of the code page (UTF-8, as the manifest sets it), not only of ASCII: Cyrillic "ЖД".
    EXPECT_EQ("Setup\xD0\xB6\xD0\xB4", ApplicationTitle("C:\\SETUP\xD0\x96\xD0\x94.EXE"));
}

TEST(ReportText, FullStopOnlyAfterACharacterAboveTheDot) {
    EXPECT_EQ("Unable to create directory.", ReportText("Unable to create directory"));
    EXPECT_EQ("Already ends.", ReportText("Already ends."));
    EXPECT_EQ("Bracket (x)", ReportText("Bracket (x)"));
    EXPECT_EQ("Bang!", ReportText("Bang!"));
    EXPECT_EQ("Comma,", ReportText("Comma,"));
    EXPECT_EQ("a.", ReportText("a"));
    EXPECT_EQ("Slash/.", ReportText("Slash/"));
    EXPECT_EQ("Digit 7.", ReportText("Digit 7"));
    EXPECT_EQ("", ReportText(""));
    // Above 0x7F: compared as unsigned, so a Cyrillic last letter gets its full stop too.
    EXPECT_EQ("\xCF\xF3\xF2\xFC.", ReportText("\xCF\xF3\xF2\xFC"));
}

TEST_F(ErrorReportTest, ReportsTheCurrentErrorTitledWithThisProgram) {
    try {
        throw platform::Error("Failed to create key Software\\Torvek");
    } catch (...) {
        ReportUnhandledError();
    }
    try {
        throw 42;
    } catch (...) {
        ReportUnhandledError();
    }
    ReportUnhandledError(); // no error at all: still no crash
    ASSERT_EQ(3u, reports.size());
    EXPECT_EQ("win32_tests", reports[0].title); // the first character stays as it is
    EXPECT_EQ("Failed to create key Software\\Torvek.", reports[0].text);
    EXPECT_FALSE(reports[1].text.empty());
    EXPECT_EQ(reports[1].text, reports[2].text);
}

// A handler that raises ends only that handler: the report shows it and the window lives on.
TEST_F(ErrorReportTest, AnErrorInAWindowHandlerIsReportedAndTheWindowGoesOn) {
    Backdrop form;
    form.Create(GetModuleHandleA(nullptr));
    form.SetCloseRequestHandler([](void*) { throw platform::Error("Interface not supported"); }, nullptr);
    EXPECT_EQ(0, SendMessageA(form.Handle(), WM_CLOSE, 0, 0));
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ("Interface not supported.", reports[0].text);
    EXPECT_TRUE(IsWindow(form.Handle()));
}

} // namespace
