#pragma once
// The top-level error report: every error a handler lets escape ends up here, is shown in a stop box
// titled with the application's title, and the program goes on.
#include <exception>
#include <string>

// "Setup" for ...\SETUP.EXE: the executable's name without folder and without everything from its first
// dot, every character after the first in lower case.
std::string ApplicationTitle(const std::string& executablePath);
// The message as shown: a full stop appended when the message is not empty and its last character's
// code is greater than that of ".".
std::string ReportText(const std::string& message);
// Shows the current exception (call inside a catch block). Never throws.
void ReportUnhandledError();

// Tests replace the message box: the hook receives title and text instead. nullptr restores the box.
using ReportHook = void (*)(const std::string& title, const std::string& text);
void SetReportHook(ReportHook hook);
