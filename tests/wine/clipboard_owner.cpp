// clipboard_owner CLASS TEXT: puts TEXT (UTF-8) on the clipboard as Unicode
// text from a (message-only) window of the class CLASS, as a copy from such
// a window would, writes "ready" on standard output, and keeps the clipboard
// until another program empties it (then exit status 0) or two minutes pass
// (status 1).
#include <cstdio>
#include <cstring>

#include <windows.h>

namespace
{

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROYCLIPBOARD) {
        PostQuitMessage(0);
        return 0;
    }
    if (message == WM_TIMER) {
        PostQuitMessage(1);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

int main(int argc, char** argv)
{
    wchar_t name[256];
    wchar_t text[4096];
    if (argc != 3 || MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, name, 256) == 0) {
        return 2;
    }
    const int units = MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, text, 4096);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = name;
    HWND window = RegisterClassW(&window_class) != 0
                      ? CreateWindowExW(0, name, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                        HWND_MESSAGE, nullptr, window_class.hInstance, nullptr)
                      : nullptr;
    if (units == 0 || window == nullptr || OpenClipboard(window) == 0) {
        return 2;
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
    if (!set) {
        return 2;
    }
    std::puts("ready");
    std::fflush(stdout);
    SetTimer(window, 1, 120000, nullptr);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
