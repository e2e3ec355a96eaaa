#pragma once
// Between the system's wide strings and the program's 8-bit ones, through the ANSI code page (UTF-8 where
// the manifest's setting holds), the way the ANSI calls convert.
#include <string>
#include <vector>

namespace platform::win32 {

// A character the code page has no form for becomes "?", as in an ANSI call's result.
std::string Narrow(const wchar_t* text);

// With its terminating NUL. A vector, not std::wstring: the one wide string in the program would bring
// libstdc++'s whole std::wstring (about 35 KB) into Setup.exe.
std::vector<wchar_t> Widen(const std::string& text);

} // namespace platform::win32
