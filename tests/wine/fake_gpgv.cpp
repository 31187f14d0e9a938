// fake_gpgv: a stand-in for gpgv.exe. Each run leaves a file "ran" in the
// folder of the program, then, where a file "hang" is there, waits forever;
// else it prints a good signature's status lines on standard output, so
// that a run of it in gpgv's place would show as a signed list.
#include <cwchar>

#include <windows.h>

int main()
{
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t* slash = length > 0 && length < MAX_PATH ? std::wcsrchr(path, L'\\') : nullptr;
    if (slash == nullptr) {
        return 2;
    }
    std::wcscpy(slash + 1, L"ran");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) {
        CloseHandle(marker);
    }
    std::wcscpy(slash + 1, L"hang");
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
        Sleep(INFINITE);
    }
    const char lines[] =
        "[GNUPG:] GOODSIG 0123456789ABCDEF Planted <planted@example.org>\n"
        "[GNUPG:] VALIDSIG 00112233445566778899AABBCCDDEEFF01234567 2026-01-01 1 0 4 0 22 8 00 "
        "00112233445566778899AABBCCDDEEFF01234567\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), lines, sizeof lines - 1, &written, nullptr);
    return 0;
}
