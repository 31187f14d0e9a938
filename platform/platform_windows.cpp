// Windows side of the platform, on msvcrt: the command interpreter's PAUSE,
// clock() in elapsed milliseconds, and Shift-JIS texts written as stored.
#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

// Asks the mingw start-up code to expand wildcards in the command line, as
// the original programs' runtime start-up did.
extern "C" {
int _dowildcard = -1; // NOLINT: the name and the global are the runtime's interface
}

void platform_pause()
{
    // The report must be visible while the window waits.
    std::fflush(stdout);
    (void)std::system("PAUSE");
}

std::int32_t platform_clock_ms()
{
    // msvcrt's clock() counts milliseconds of elapsed time since start-up.
    return static_cast<std::int32_t>(std::clock());
}

const char* platform_text(const char* sjis, char* /*buffer*/, std::size_t /*size*/)
{
    return sjis;
}
