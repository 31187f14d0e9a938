// version_info PROGRAM.exe: the version information of a Windows program as
// "Name=value" lines, the fixed file version last. A test tool of the Wine
// check, run under Wine.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        return 2;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
    std::vector<char> data(size);
    if (size == 0 || GetFileVersionInfoA(argv[1], 0, size, data.data()) == 0) {
        std::printf("no version information\n");
        return 1;
    }
    for (const char* name : {"ProductName", "FileDescription", "FileVersion", "ProductVersion",
                             "OriginalFilename", "LegalCopyright"}) {
        const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
        char* value = nullptr;
        UINT length = 0;
        if (VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)
            != 0) {
            std::printf("%s=%s\n", name, value);
        }
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) != 0) {
        std::printf("Fixed=%u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                    unsigned{LOWORD(fixed->dwFileVersionMS)},
                    unsigned{HIWORD(fixed->dwFileVersionLS)},
                    unsigned{LOWORD(fixed->dwFileVersionLS)});
    }
    return 0;
}
