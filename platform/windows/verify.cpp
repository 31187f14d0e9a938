// Checking a signature on Windows: the gpgv.exe of an installed GnuPG,
// found through the registry (advapi32 loaded only then), started by its
// absolute path with CreateProcessW, its status lines read from a pipe on
// its standard output until it ends or its time is up. The user's keys are
// in the gnupg folder of the roaming application data folder (of
// VerifySetup::home where a test gives one); Windows has no system keyrings.
// Where they are in GnuPG 2.4's keyboxd store, which gpgv cannot read, the
// gpg.exe in gpgv.exe's folder checks with them instead.
#include "platform/verify.h"
#include "platform/windows/arguments.h"
#include "platform/windows/long_path.h"

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <iterator>

#include <windows.h>

namespace
{

constexpr int default_limit_ms = 2000;
// The size of a list or signature handed to gpgv at the most.
constexpr std::uint64_t file_limit = std::uint64_t{16} << 20;
// The shell's number of the user's roaming application data folder.
constexpr int appdata_folder = 0x001a;

// A function of a system library loaded at run time, so that the programs
// import nothing but KERNEL32 and msvcrt.
template <typename Function> Function library_function(HMODULE library, const char* name)
{
    // GetProcAddress's type is cast through the generic function pointer.
    using Generic = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(library, name)));
}

// Appends `text` to out[0..size-1] after its first `at` characters; false
// when it does not fit.
bool append(wchar_t* out, std::size_t size, std::size_t& at, const wchar_t* text)
{
    for (; *text != L'\0'; ++text) {
        if (at + 1 >= size) {
            return false;
        }
        out[at++] = *text;
    }
    out[at] = L'\0';
    return true;
}

// Whether `file` is a regular file (no folder, no device) of at most
// `limit` bytes.
bool is_regular(const wchar_t* file, std::uint64_t limit)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(file, GetFileExInfoStandard, &data) == 0
        || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return false;
    }
    const std::uint64_t length =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32U) | data.nFileSizeLow;
    return length <= limit;
}

// Whether `path` is absolute: a drive's ("C:\") or a network path ("\\").
bool is_absolute(const wchar_t* path)
{
    return (path[0] != L'\0' && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
           || (path[0] == L'\\' && path[1] == L'\\');
}

// The gpgv.exe of a GnuPG whose install folder the registry names
// (the machine's, in either word size's view, then the user's), in the
// 2.x layout (bin\gpgv.exe) or beside the folder's top; false when none is.
bool registered_gpgv(wchar_t* out, std::size_t size)
{
    HMODULE advapi32 = LoadLibraryW(L"advapi32.dll");
    if (advapi32 == nullptr) {
        return false;
    }
    using Open = LONG(WINAPI*)(HKEY, const wchar_t*, DWORD, REGSAM, HKEY*);
    using Query = LONG(WINAPI*)(HKEY, const wchar_t*, DWORD*, DWORD*, BYTE*, DWORD*);
    using Close = LONG(WINAPI*)(HKEY);
    const auto open = library_function<Open>(advapi32, "RegOpenKeyExW");
    const auto query = library_function<Query>(advapi32, "RegQueryValueExW");
    const auto close = library_function<Close>(advapi32, "RegCloseKey");
    const struct {
        HKEY root;
        REGSAM view;
    } places[] = {{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                  {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                  {HKEY_CURRENT_USER, 0}};
    bool found = false;
    for (const auto& place : places) {
        HKEY key = nullptr;
        if (found || open == nullptr || query == nullptr || close == nullptr
            || open(place.root, L"SOFTWARE\\GnuPG", 0, KEY_QUERY_VALUE | place.view, &key) != 0) {
            continue;
        }
        wchar_t folder[1024] = {};
        DWORD type = 0;
        DWORD bytes = sizeof folder - sizeof folder[0];
        const bool read = query(key, L"Install Directory", nullptr, &type,
                                reinterpret_cast<BYTE*>(folder), &bytes)
                              == 0
                          && (type == REG_SZ || type == REG_EXPAND_SZ);
        close(key);
        folder[read ? bytes / sizeof folder[0] : 0] = L'\0';
        // A REG_EXPAND_SZ folder names environment variables ("%ProgramFiles%").
        wchar_t expanded[1024] = {};
        if (read && type == REG_EXPAND_SZ) {
            const DWORD length = ExpandEnvironmentStringsW(folder, expanded,
                                                           static_cast<DWORD>(std::size(expanded)));
            if (length == 0 || length > std::size(expanded)) {
                continue;
            }
            std::wmemcpy(folder, expanded, length);
        }
        if (!read || !is_absolute(folder)) {
            continue;
        }
        for (const wchar_t* name : {L"\\bin\\gpgv.exe", L"\\gpgv.exe"}) {
            std::size_t at = 0;
            if (!found && append(out, size, at, folder) && append(out, size, at, name)
                && is_regular(out, file_limit)) {
                found = true;
            }
        }
    }
    FreeLibrary(advapi32);
    return found;
}

// The user's GnuPG home folder: "gnupg" in the roaming application data
// folder as the shell reports it, or in `home` where a test gives one.
bool gnupg_home(const char* home, wchar_t* out, std::size_t size)
{
    wchar_t folder[MAX_PATH + 1] = {};
    if (home != nullptr) {
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, home, -1, folder,
                                static_cast<int>(std::size(folder)))
            == 0) {
            return false;
        }
    } else {
        HMODULE shell32 = LoadLibraryW(L"shell32.dll");
        using Folder = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, wchar_t*);
        const auto folder_path =
            shell32 != nullptr ? library_function<Folder>(shell32, "SHGetFolderPathW") : nullptr;
        const bool found = folder_path != nullptr
                           && folder_path(nullptr, appdata_folder, nullptr, 0, folder) == S_OK;
        if (shell32 != nullptr) {
            FreeLibrary(shell32);
        }
        if (!found) {
            return false;
        }
    }
    std::size_t at = 0;
    return is_absolute(folder) && append(out, size, at, folder)
           && append(out, size, at, L"\\gnupg");
}

// Adds one word of a command line, quoted; false when it does not fit.
// No word here holds a quote (Windows paths cannot) or ends in '\'.
bool add_word(wchar_t* line, std::size_t size, std::size_t& at, const wchar_t* word)
{
    const std::size_t start = at;
    if ((at == 0 || append(line, size, at, L" ")) && append(line, size, at, L"\"")
        && append(line, size, at, word) && append(line, size, at, L"\"")) {
        return true;
    }
    at = start;
    line[at] = L'\0';
    return false;
}

// Adds the path of an existing file or folder as a word: its short form
// where the path has characters outside ASCII and that form has none, since
// a gpgv of GnuPG 2.2 reads its command line in the ANSI code page.
bool add_path(wchar_t* line, std::size_t size, std::size_t& at, const wchar_t* path)
{
    const auto ascii = [](const wchar_t* text) {
        for (; *text != L'\0'; ++text) {
            if (*text > 0x7F) {
                return false;
            }
        }
        return true;
    };
    static wchar_t short_path[longest_path];
    if (!ascii(path)) {
        const DWORD length = GetShortPathNameW(path, short_path, longest_path);
        if (length > 0 && length < longest_path && ascii(short_path)) {
            return add_word(line, size, at, short_path);
        }
    }
    return add_word(line, size, at, path);
}

// Adds "--keyring FILE" for each of `names` that is a regular file in the
// folder `gnupg`; false when none is.
bool add_keyrings(wchar_t* line, std::size_t size, std::size_t& at, const wchar_t* gnupg,
                  Keyring keyring)
{
    const wchar_t* trusted[] = {L"\\trustedkeys.kbx", L"\\trustedkeys.gpg"};
    const wchar_t* user[] = {L"\\pubring.kbx", L"\\pubring.gpg"};
    if (keyring == Keyring::system) {
        return false;
    }
    bool any = false;
    for (const wchar_t* name : keyring == Keyring::trusted ? trusted : user) {
        wchar_t file[MAX_PATH + 32];
        std::size_t length = 0;
        if (append(file, std::size(file), length, gnupg)
            && append(file, std::size(file), length, name) && is_regular(file, file_limit)
            && add_word(line, size, at, L"--keyring")) {
            any = add_path(line, size, at, file) || any;
        }
    }
    return any;
}

// The wide path of the file `name` (UTF-8) in the folder of `path`, as the
// file itself opens; false when it cannot be made.
bool file_beside(const char* path, const char* name, wchar_t* out, std::size_t size)
{
    static wchar_t converted[longest_path];
    static wchar_t full[longest_path];
    wchar_t wide_name[1024];
    const wchar_t* wide = argument_wide(path);
    if (wide == nullptr && MultiByteToWideChar(CP_ACP, 0, path, -1, converted, longest_path) != 0) {
        wide = converted;
    }
    const DWORD length = wide != nullptr ? GetFullPathNameW(wide, longest_path, full, nullptr) : 0;
    return length != 0 && length < longest_path
           && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide_name,
                                  static_cast<int>(std::size(wide_name)))
                  != 0
           && platform_sibling_path(full, wide_name, out, size, MAX_PATH);
}

// The inherited environment with LANG=C in place of LANG and LC_ALL, as a
// block of wide strings; false when it cannot be read.
bool environment(wchar_t* out, std::size_t size)
{
    wchar_t* inherited = GetEnvironmentStringsW();
    if (inherited == nullptr) {
        return false;
    }
    std::size_t at = 0;
    append(out, size, at, L"LANG=C");
    ++at;
    for (const wchar_t* entry = inherited; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::size_t length = std::wcslen(entry);
        if (_wcsnicmp(entry, L"LANG=", 5) == 0 || _wcsnicmp(entry, L"LC_ALL=", 7) == 0
            || at + length + 2 > size) {
            continue;
        }
        std::wmemcpy(out + at, entry, length + 1);
        at += length + 1;
    }
    out[at] = L'\0';
    FreeEnvironmentStringsW(inherited);
    return true;
}

// Reads the pipe into status[0..size-1] until the child has ended and the
// pipe is empty, or the deadline passes, when the child is killed. Returns
// whether it ended in time.
bool collect(HANDLE process, HANDLE pipe, std::uint64_t deadline, char* status, std::size_t size)
{
    std::size_t have = 0;
    char spill[512];
    bool ended = false;
    for (;;) {
        // Whether it had ended is asked before the pipe, so that all it
        // wrote is read before this returns.
        ended = ended || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        DWORD ready = 0;
        const bool open = PeekNamedPipe(pipe, nullptr, 0, nullptr, &ready, nullptr) != 0;
        if (open && ready > 0) {
            char* into = have + 1 < size ? status + have : spill;
            const std::size_t room = have + 1 < size ? size - 1 - have : sizeof spill;
            DWORD n = 0;
            const DWORD want = ready < room ? ready : static_cast<DWORD>(room);
            if (ReadFile(pipe, into, want, &n, nullptr) != 0 && into != spill) {
                have += n;
            }
            // A child that writes without end is stopped at the deadline.
            if (GetTickCount64() < deadline) {
                continue;
            }
            break;
        }
        const std::uint64_t now = GetTickCount64();
        if (ended || now >= deadline) {
            break;
        }
        // Its pipe closed: only its end is waited for.
        const DWORD wait = open ? 1 : static_cast<DWORD>(deadline - now);
        ended = WaitForSingleObject(process, wait) == WAIT_OBJECT_0;
    }
    // gpgv's standard output is in text mode: its lines end in CR LF.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < have; ++i) {
        if (status[i] != '\r' || i + 1 == have || status[i + 1] != '\n') {
            status[kept++] = status[i];
        }
    }
    status[kept] = '\0';
    if (!ended) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    return ended;
}

// The gpgv to run: `given` (UTF-8, an absolute path) where a test gives
// one, else the one of the GnuPG the registry names. False when there is
// none.
bool find_gpgv(const char* given, wchar_t* out, std::size_t size)
{
    if (given == nullptr) {
        return registered_gpgv(out, size);
    }
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, given, -1, out,
                               static_cast<int>(size))
               != 0
           && is_absolute(out) && is_regular(out, UINT64_MAX);
}

// The gpg.exe in the folder of `gpgv` (an absolute path) into out[0..size-1];
// false when there is none.
bool gpg_beside(const wchar_t* gpgv, wchar_t* out, std::size_t size)
{
    std::size_t folder = 0;
    for (std::size_t i = 0; gpgv[i] != L'\0'; ++i) {
        folder = gpgv[i] == L'\\' || gpgv[i] == L'/' ? i + 1 : folder;
    }
    if (folder == 0 || folder >= size) {
        return false;
    }
    std::wmemcpy(out, gpgv, folder);
    out[folder] = L'\0';
    return append(out, size, folder, L"gpg.exe") && is_regular(out, UINT64_MAX);
}

} // namespace

VerifyRun platform_verify(const char* path, const char* list, const char* signature,
                          Keyring keyring, const VerifySetup& setup, char* status, std::size_t size)
{
    if (size > 0) {
        status[0] = '\0';
    }
    static wchar_t gpgv[longest_path];
    if (size == 0 || !find_gpgv(setup.gpgv, gpgv, std::size(gpgv))) {
        return VerifyRun::absent;
    }
    static wchar_t line[32768];
    std::size_t at = 0;
    wchar_t gnupg[MAX_PATH + 16];
    if (!gnupg_home(setup.home, gnupg, std::size(gnupg))) {
        return VerifyRun::no_keys;
    }
    // The user's keys in a keyboxd store, which gpgv cannot read: the
    // gpg.exe of the same GnuPG, beside gpgv.exe, checks with them.
    wchar_t store[MAX_PATH + 48];
    std::size_t store_length = 0;
    const bool keybox =
        keyring == Keyring::user && append(store, std::size(store), store_length, gnupg)
        && append(store, std::size(store), store_length, L"\\public-keys.d\\pubring.db")
        && is_regular(store, UINT64_MAX);
    static wchar_t gpg[longest_path];
    if (keybox && !gpg_beside(gpgv, gpg, std::size(gpg))) {
        return VerifyRun::no_keys;
    }
    add_word(line, std::size(line), at, keybox ? L"gpg" : L"gpgv");
    add_word(line, std::size(line), at, L"--homedir");
    add_path(line, std::size(line), at, gnupg);
    if (keybox) {
        // Nothing fetched, nothing asked, no trust database consulted.
        for (const wchar_t* word :
             {L"--batch", L"--no-tty", L"--no-auto-key-retrieve", L"--trust-model", L"always"}) {
            add_word(line, std::size(line), at, word);
        }
    }
    add_word(line, std::size(line), at, L"--status-fd");
    add_word(line, std::size(line), at, L"1");
    if (!keybox && !add_keyrings(line, std::size(line), at, gnupg, keyring)) {
        return VerifyRun::no_keys;
    }
    if (keybox) {
        add_word(line, std::size(line), at, L"--verify");
    }
    static wchar_t file[longest_path + 8];
    bool files = add_word(line, std::size(line), at, L"--");
    for (const char* name : {signature, list}) {
        files =
            files
            && (name == nullptr
                || (file_beside(path, name, file, std::size(file)) && is_regular(file, file_limit)
                    && add_path(line, std::size(line), at, file)));
    }
    if (!files) {
        return VerifyRun::failed;
    }
    // gpgv starts in its own folder, so that no library is looked for in
    // the current one.
    wchar_t folder[MAX_PATH + 1];
    std::size_t folder_length = 0;
    for (std::size_t i = 0; gpgv[i] != L'\0' && i + 1 < std::size(folder); ++i) {
        folder[i] = gpgv[i];
        folder_length = gpgv[i] == L'\\' ? i : folder_length;
    }
    folder[folder_length] = L'\0';
    static wchar_t block[32768];
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    HANDLE null_in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    HANDLE null_out = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr);
    VerifyRun result = VerifyRun::failed;
    if (null_in != INVALID_HANDLE_VALUE && null_out != INVALID_HANDLE_VALUE
        && environment(block, std::size(block)) && CreatePipe(&read_end, &write_end, &inherit, 0)
        && SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0) != 0) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = null_in;
        startup.hStdOutput = write_end;
        startup.hStdError = null_out;
        PROCESS_INFORMATION child{};
        const int limit = setup.limit_ms > 0 ? setup.limit_ms : default_limit_ms;
        const std::uint64_t deadline = GetTickCount64() + static_cast<std::uint64_t>(limit);
        if (CreateProcessW(keybox ? gpg : gpgv, line, nullptr, nullptr, TRUE,
                           CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block,
                           folder_length > 0 ? folder : nullptr, &startup, &child)
            != 0) {
            CloseHandle(write_end);
            write_end = nullptr;
            result = collect(child.hProcess, read_end, deadline, status, size)
                         ? VerifyRun::checked
                         : VerifyRun::timed_out;
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
    }
    for (HANDLE handle : {read_end, write_end, null_in, null_out}) {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    return result;
}
