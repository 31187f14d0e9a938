// set_clipboard TEXT: puts TEXT (UTF-8) on the clipboard as Unicode text, as
// a user's copy would. Exit status 0 when it is there.
#include <cstring>

#include <windows.h>

int main(int argc, char** argv)
{
    wchar_t text[4096];
    const int units = argc == 2 ? MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, text, 4096) : 0;
    if (units == 0 || OpenClipboard(nullptr) == 0) {
        return 1;
    }
    EmptyClipboard();
    const auto size = static_cast<SIZE_T>(units) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    void* bytes = memory != nullptr ? GlobalLock(memory) : nullptr;
    if (bytes != nullptr) {
        std::memcpy(bytes, text, size);
        GlobalUnlock(memory);
    }
    const bool set = bytes != nullptr && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return set ? 0 : 1;
}
