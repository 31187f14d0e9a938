// Preloaded into a program under test: right after the terminal's settings
// are put back to line mode (the end of the pause), a SIGCONT arrives, as
// when a job-control shell continues the program at that very moment.
#include <csignal>

#include <dlfcn.h>
#include <termios.h>

extern "C" int tcsetattr(int fd, int when, const termios* settings)
{
    using Real = int (*)(int, int, const termios*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcsetattr"));
    const int result = real(fd, when, settings);
    if ((settings->c_lflag & ICANON) != 0) {
        std::raise(SIGCONT);
    }
    return result;
}
