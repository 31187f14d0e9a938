// Running the programs for the program-level suites: see runner.h.
#include "runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

const std::string prompt = "Press any key to continue . . . ";
const std::string message_utf8 = "ファイルエラーが発生しました";
const std::string message_sjis = "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x47\x83\x89\x81\x5B"
                                 "\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

int decode(int wait_status)
{
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

namespace
{

// Reads everything from the descriptors in `fds` into `texts` until each
// has ended, or nothing came for 20 s.
void drain(const std::vector<int>& fds, std::vector<std::string*> texts)
{
    std::vector<pollfd> watch;
    for (const int fd : fds) {
        watch.push_back({fd, POLLIN, 0});
    }
    std::size_t open_count = fds.size();
    char chunk[4096];
    while (open_count > 0 && poll(watch.data(), watch.size(), 20000) > 0) {
        for (std::size_t i = 0; i < watch.size(); ++i) {
            if (watch[i].fd < 0 || watch[i].revents == 0) {
                continue;
            }
            const ssize_t n = read(watch[i].fd, chunk, sizeof chunk);
            if (n <= 0) {
                watch[i].fd = -1;
                --open_count;
            } else {
                texts[i]->append(chunk, static_cast<std::size_t>(n));
            }
        }
    }
}

// A NULL-ended list of the texts, as execve takes it.
std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> list;
    list.reserve(texts.size() + 1);
    for (auto& text : texts) {
        list.push_back(text.data());
    }
    list.push_back(nullptr);
    return list;
}

// The sanitizers' settings of the test run reach the programs too, whatever
// environment a test gives them.
std::vector<std::string> with_sanitizer_options(std::vector<std::string> env)
{
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            env.push_back(std::string(name) + "=" + value);
        }
    }
    return env;
}

} // namespace

std::string drain(int fd)
{
    std::string text;
    drain({fd}, {&text});
    return text;
}

Outcome run(std::vector<std::string> args, std::vector<std::string> env, const char* out_path,
            Streams streams, const During& during)
{
    int out_pipe[2];
    int err_pipe[2];
    winsize size{};
    size.ws_row = 24;
    size.ws_col = terminal_columns;
    const bool err_ok = streams == Streams::stderr_terminal
                            ? openpty(&err_pipe[0], &err_pipe[1], nullptr, nullptr, &size) == 0
                            : pipe(err_pipe) == 0;
    if (pipe(out_pipe) != 0 || !err_ok) {
        throw std::runtime_error("pipe failed");
    }
    env = with_sanitizer_options(env);
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = out_path != nullptr ? open(out_path, O_WRONLY) : out_pipe[1];
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        for (const int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1], in}) {
            close(fd);
        }
        if (streams == Streams::stdin_closed) {
            close(STDIN_FILENO);
        } else if (streams == Streams::stdout_closed) {
            close(STDOUT_FILENO);
        } else if (streams == Streams::reader_gone) {
            int gone[2];
            if (pipe(gone) != 0 || close(gone[0]) != 0 || dup2(gone[1], STDOUT_FILENO) < 0) {
                _exit(126);
            }
        } else if (streams == Streams::small_stack) {
            const rlimit stack{32 * 1024, 32 * 1024};
            setrlimit(RLIMIT_STACK, &stack);
        } else if (streams == Streams::file_limit) {
            // `ulimit -f 1` as a shell leaves it, SIGXFSZ at its default
            // action: the program itself must keep a write past 1 KiB from
            // ending it.
            const rlimit file{1024, 1024};
            setrlimit(RLIMIT_FSIZE, &file);
            signal(SIGXFSZ, SIG_DFL);
        }
        execve(args[0].c_str(), pointers(args).data(), pointers(env).data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    Outcome outcome{"", "", 0};
    if (during) {
        during(pid, err_pipe[0], outcome.err);
    }
    drain({out_pipe[0], err_pipe[0]}, {&outcome.out, &outcome.err});
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = decode(status);
    if (streams != Streams::stderr_terminal) {
        EXPECT_EQ(outcome.err, "") << "standard error of " << args[0];
    }
    return outcome;
}

std::string report(const std::string& path, const std::string& digest)
{
    return path + "\n\n" + digest + "\n\n" + prompt + "\n";
}

std::string failure(const std::string& message)
{
    return message + "\n\n" + prompt + "\n";
}

const Program programs[3] = {
    {HASH512_PATH, "SHA512"}, {HASH384_PATH, "SHA384"}, {HASH256_PATH, "SHA256"}};

std::string without_seconds(const std::string& out, const std::string& unit)
{
    const auto at = out.rfind(unit);
    if (at == std::string::npos || at < 8 || out.compare(at - 7, 1, ".") != 0) {
        return out;
    }
    std::size_t start = at - 7;
    for (std::size_t i = start + 1; i < at; ++i) {
        if (std::isdigit(static_cast<unsigned char>(out[i])) == 0) {
            return out;
        }
    }
    while (start > 0 && std::isdigit(static_cast<unsigned char>(out[start - 1])) != 0) {
        --start;
    }
    if (start == at - 7 || start == 0 || out[start - 1] != '\n') {
        return out;
    }
    return out.substr(0, start - 1) + out.substr(at + unit.size());
}

bool eventually(const std::function<bool()>& done)
{
    for (int tries = 0; tries < 2000; ++tries) {
        if (done()) {
            return true;
        }
        usleep(10000);
    }
    return done();
}

char state_of(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pid_field, name, state;
    stat >> pid_field >> name >> state;
    return state.empty() ? '?' : state[0];
}

bool raw(int master)
{
    termios now{};
    return tcgetattr(master, &now) == 0 && (now.c_lflag & (ICANON | ECHO)) == 0;
}

long long read_offset(pid_t pid, const std::string& path)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
        std::error_code link_error;
        if (std::filesystem::read_symlink(entry.path(), link_error).string() != path) {
            continue;
        }
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/"
                           + entry.path().filename().string());
        std::string field;
        long long offset = -1;
        info >> field >> offset; // "pos: N"
        return offset;
    }
    return -1;
}

bool maps_file(pid_t pid, const std::string& path)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    const std::string ending = " " + path;
    for (std::string line; std::getline(maps, line);) {
        if (line.size() > ending.size()
            && line.compare(line.size() - ending.size(), ending.size(), ending) == 0) {
            return true;
        }
    }
    return false;
}

void wait_until_reading(pid_t pid, const std::string& path)
{
    for (int tries = 0; tries < 200000 && read_offset(pid, path) <= 0 && !maps_file(pid, path);
         ++tries) {
        siginfo_t ended{};
        if (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0
            && ended.si_pid == pid) {
            return; // it ended before it was seen reading
        }
    }
}

termios shell_terminal()
{
    termios settings{};
    cfmakeraw(&settings);
    settings.c_lflag |= ICANON | ECHO | ISIG;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_cc[VINTR] = 3;
    settings.c_cc[VMIN] = 1;
    return settings;
}

pid_t start_on_terminal(const std::string& path, Launch launch, int& master)
{
    termios settings = shell_terminal();
    const pid_t pid = forkpty(&master, nullptr, &settings, nullptr);
    if (pid != 0) {
        return pid;
    }
    if (launch == Launch::nonblocking_input) {
        fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    }
    const pid_t program = launch == Launch::count_leftover || launch == Launch::job ? fork() : 0;
    if (program == 0) {
        if (launch == Launch::job) {
            // As a job-control shell starts a job: a process group of its
            // own, the terminal's foreground.
            signal(SIGTTOU, SIG_IGN);
            setpgid(0, 0);
            tcsetpgrp(STDIN_FILENO, getpid());
            signal(SIGTTOU, SIG_DFL);
        }
        execl(HASH512_PATH, HASH512_PATH, path.empty() ? nullptr : path.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(program, &status, 0);
    // Out of line mode, input that was left is readable at once.
    termios now{};
    tcgetattr(STDIN_FILENO, &now);
    now.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    now.c_cc[VMIN] = 0;
    now.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &now);
    char rest[64];
    _exit(read(STDIN_FILENO, rest, sizeof rest) > 0 ? 99 : decode(status));
}

pid_t start_on_terminal_preloaded(const std::string& path, const char* library, int& master)
{
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string saved = sanitizer != nullptr ? sanitizer : "";
    setenv("ASAN_OPTIONS", (saved + ":verify_asan_link_order=0").c_str(), 1);
    setenv("LD_PRELOAD", library, 1);
    const pid_t pid = start_on_terminal(path, Launch::plain, master);
    unsetenv("LD_PRELOAD");
    setenv("ASAN_OPTIONS", saved.c_str(), 1);
    return pid;
}

std::string unwrapped(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool joined = text[i] == '\n' && i > 0 && i + 1 < text.size()
                            && static_cast<unsigned char>(text[i - 1]) >= 0x80
                            && static_cast<unsigned char>(text[i + 1]) >= 0x80;
        if (!joined) {
            out += text[i] == '\n' ? ' ' : text[i];
        }
    }
    return out;
}

bool wait_for_prompt(int master, std::string& seen)
{
    char chunk[256];
    pollfd watch{master, POLLIN, 0};
    while (seen.find(prompt) == std::string::npos && poll(&watch, 1, 20000) > 0) {
        const ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        seen.append(chunk, static_cast<std::size_t>(n));
    }
    return seen.find(prompt) != std::string::npos;
}

TerminalEnd finish_on_terminal(pid_t pid, int master, std::string seen)
{
    seen += drain(master);
    int status = 0;
    waitpid(pid, &status, 0);
    TerminalEnd end{seen.substr(seen.find(prompt) + prompt.size()), decode(status), {}};
    tcgetattr(master, &end.settings);
    close(master);
    return end;
}

void expect_settings_restored(const termios& after)
{
    const termios before = shell_terminal();
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
}

bool wait_until_polling(pid_t pid, int& status, bool in_read)
{
    const std::string file = "/proc/" + std::to_string(pid) + "/syscall";
    for (int tries = 0; tries < 2000; ++tries) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return false;
        }
        std::ifstream in(file);
        long number = -1;
        std::string fd;
        if (in >> number >> fd
            && (in_read ? number == SYS_read && fd == "0x0"
                        : number == SYS_poll || number == SYS_ppoll)) {
            return true;
        }
        usleep(10000);
    }
    return false;
}
