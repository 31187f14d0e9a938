// What Explorer does with a right-click entry of every file (a test tool of
// the Wine check, run under Wine):
//   shell_verb text KEY       prints the entry's menu text (its MUIVerb,
//                             resolved as the shell resolves it) in UTF-8;
//   shell_verb run KEY FILE   runs its command line with %1 replaced by FILE,
//                             waits, and exits with the program's status.
// KEY is the entry's name under HKCU\Software\Classes\*\shell. Exit status
// 3 when the entry or its text cannot be read.
#include <cstdio>
#include <string>

#include <windows.h>
#include <shlwapi.h>

namespace {

// The string value `name` (nullptr: the default) of the entry's key `sub`.
bool value(const std::wstring& sub, const wchar_t* name, std::wstring& text)
{
    wchar_t data[4096];
    DWORD size = sizeof data;
    const std::wstring key = L"Software\\Classes\\*\\shell\\" + sub;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size)
        != ERROR_SUCCESS) {
        return false;
    }
    text = data;
    return true;
}

} // namespace

// The wide-character arguments (built with -municode), so that a file name
// outside the code page arrives whole.
int wmain(int argc, wchar_t* argv[])
{
    const std::wstring mode = argc > 2 ? argv[1] : L"";
    std::wstring text;
    if (mode == L"text" && value(argv[2], L"MUIVerb", text)) {
        wchar_t shown[512];
        char utf8[2048];
        if (SHLoadIndirectString(text.c_str(), shown, 512, nullptr) != S_OK
            || WideCharToMultiByte(CP_UTF8, 0, shown, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
            return 3;
        }
        std::printf("%s\n", utf8);
        return 0;
    }
    if (mode == L"run" && argc > 3 && value(std::wstring(argv[2]) + L"\\command", nullptr, text)) {
        const std::wstring::size_type at = text.find(L"%1");
        if (at == std::wstring::npos) {
            return 3;
        }
        text.replace(at, 2, argv[3]);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, text.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)
            == 0) {
            return 3;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 3;
        GetExitCodeProcess(process.hProcess, &status);
        return static_cast<int>(status);
    }
    return 3;
}
