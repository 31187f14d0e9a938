// clipboard_console: writes 1 when the programs' lookup takes the
// clipboard's text for a copy from a console window, else 0.
#include <cstdio>

#include "platform/lookup.h"

int main()
{
    std::puts(platform_clipboard_from_console() ? "1" : "0");
    return 0;
}
