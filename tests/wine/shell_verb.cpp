// What Explorer does with a right-click entry of every file and with a
// double-clicked script (a test tool of the Wine check, run under Wine):
//   shell_verb text KEY       prints the entry's menu text (its MUIVerb,
//                             resolved as the shell resolves such a string:
//                             the named program is read as a data file, so
//                             a 32-bit program serves a 64-bit shell) in UTF-8;
//   shell_verb default KEY    prints the entry's plain default value, the
//                             text a shell shows when it cannot resolve MUIVerb;
//   shell_verb run KEY FILE   runs its command line with %1 replaced by FILE,
//                             waits, and exits with the program's status;
//   shell_verb open SCRIPT    runs a .cmd script as a double click in Explorer
//                             does (cmd /c ""SCRIPT" "), waits, and exits
//                             with the script's status.
// KEY is the entry's name under HKCU\Software\Classes\*\shell. Exit status
// 3 when the entry or its text cannot be read.
#include <cstdio>
#include <string>

#include <windows.h>

namespace
{

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

// Prints wide text in UTF-8 with a line end; false when it cannot be converted.
bool print_utf8(const wchar_t* text)
{
    char utf8[2048];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
        return false;
    }
    std::printf("%s\n", utf8);
    return true;
}

// The entry's MUIVerb as the shell shows it: RegLoadMUIStringW loads the
// module that an "@module,-id" string names as a data file.
bool menu_text(const std::wstring& sub, wchar_t* shown, DWORD size)
{
    HKEY key = nullptr;
    const std::wstring path = L"Software\\Classes\\*\\shell\\" + sub;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status = RegLoadMUIStringW(key, L"MUIVerb", shown, size, nullptr, 0, nullptr);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// Runs a command line with the standard handles inherited, waits for it and
// gives its exit status (3 when it cannot be started).
int run_and_wait(std::wstring command)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)
        == 0) {
        return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 3;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}

} // namespace

// The wide-character arguments (built with -municode), so that a file name
// outside the code page arrives whole.
int wmain(int argc, wchar_t* argv[])
{
    const std::wstring mode = argc > 2 ? argv[1] : L"";
    std::wstring text;
    if (mode == L"text") {
        wchar_t shown[512];
        return menu_text(argv[2], shown, sizeof shown) && print_utf8(shown) ? 0 : 3;
    }
    if (mode == L"default") {
        return value(argv[2], nullptr, text) && print_utf8(text.c_str()) ? 0 : 3;
    }
    if (mode == L"run" && argc > 3 && value(std::wstring(argv[2]) + L"\\command", nullptr, text)) {
        const std::wstring::size_type at = text.find(L"%1");
        if (at == std::wstring::npos) {
            return 3;
        }
        text.replace(at, 2, argv[3]);
        return run_and_wait(text);
    }
    if (mode == L"open") {
        wchar_t interpreter[MAX_PATH];
        if (GetEnvironmentVariableW(L"ComSpec", interpreter, MAX_PATH) == 0) {
            return 3;
        }
        return run_and_wait(std::wstring(L"\"") + interpreter + L"\" /c \"\"" + argv[2] + L"\" \"");
    }
    return 3;
}
