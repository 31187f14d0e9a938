// version_info PROGRAM.exe [icon|manifest]: the version information of a
// Windows program as "Name=value" lines in UTF-8, the English block's, then
// the Japanese block's names with "ja." before them, the translations and
// the fixed file version last; with "icon", the sizes of its first icon
// whose images are all there ("Icon=16 24 ..."); with "manifest", the text
// of its manifest. A test tool of the Wine check, run under Wine.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

void print(const wchar_t* text, int length)
{
    char bytes[4096];
    const int count =
        WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof bytes, nullptr, nullptr);
    std::fwrite(bytes, 1, count > 0 ? static_cast<std::size_t>(count) : 0, stdout);
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bits;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

BOOL CALLBACK first_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found)
{
    *reinterpret_cast<LPWSTR*>(found) = IS_INTRESOURCE(name) ? name : nullptr;
    return FALSE;
}

int icon(HMODULE module)
{
    LPWSTR name = nullptr;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14), first_name, reinterpret_cast<LONG_PTR>(&name));
    HRSRC group = name != nullptr ? FindResourceW(module, name, MAKEINTRESOURCEW(14)) : nullptr;
    const auto* data = group != nullptr
                           ? static_cast<const BYTE*>(LockResource(LoadResource(module, group)))
                           : nullptr;
    if (data == nullptr || SizeofResource(module, group) < 6) {
        std::printf("no icon\n");
        return 1;
    }
    const unsigned count = data[4] | (data[5] << 8);
    std::printf("Icon=");
    for (unsigned i = 0;
         i < count && 6 + (i + 1) * sizeof(GroupEntry) <= SizeofResource(module, group); ++i) {
        GroupEntry entry{};
        std::memcpy(&entry, data + 6 + i * sizeof entry, sizeof entry);
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3));
        if (image == nullptr || SizeofResource(module, image) != entry.bytes) {
            std::printf("%smissing", i > 0 ? " " : "");
            continue;
        }
        std::printf("%s%u", i > 0 ? " " : "", entry.width == 0 ? 256U : unsigned{entry.width});
    }
    std::printf("\n");
    return 0;
}

int manifest(HMODULE module)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    const void* text = found != nullptr ? LockResource(LoadResource(module, found)) : nullptr;
    if (text == nullptr) {
        std::printf("no manifest\n");
        return 1;
    }
    std::fwrite(text, 1, SizeofResource(module, found), stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t* argv[])
{
    if (argc < 2) {
        return 2;
    }
    if (argc > 2) {
        HMODULE module = LoadLibraryExW(argv[1], nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (module == nullptr) {
            std::printf("not loaded\n");
            return 1;
        }
        return std::wstring(argv[2]) == L"icon" ? icon(module) : manifest(module);
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    std::vector<char> data(size);
    if (size == 0 || GetFileVersionInfoW(argv[1], 0, size, data.data()) == 0) {
        std::printf("no version information\n");
        return 1;
    }
    for (const wchar_t* block : {L"040904B0", L"041104B0"}) {
        for (const wchar_t* name : {L"ProductName", L"FileDescription", L"FileVersion",
                                    L"ProductVersion", L"OriginalFilename", L"LegalCopyright"}) {
            const std::wstring key = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
            wchar_t* value = nullptr;
            UINT length = 0;
            if (VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)
                != 0) {
                std::printf("%s", block[3] == L'9' ? "" : "ja.");
                print(name, static_cast<int>(wcslen(name)));
                std::printf("=");
                print(value, static_cast<int>(wcslen(value)));
                std::printf("\n");
            }
        }
    }
    WORD* translations = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                       reinterpret_cast<void**>(&translations), &length)
        != 0) {
        std::printf("Translation=");
        for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
            std::printf("%s%04x:%u", i > 0 ? " " : "", unsigned{translations[i]},
                        unsigned{translations[i + 1]});
        }
        std::printf("\n");
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) != 0) {
        std::printf("Fixed=%u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                    unsigned{LOWORD(fixed->dwFileVersionMS)},
                    unsigned{HIWORD(fixed->dwFileVersionLS)},
                    unsigned{LOWORD(fixed->dwFileVersionLS)});
    }
    return 0;
}
