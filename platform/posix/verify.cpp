// Checking a signature on Linux: the system's gpgv (or, for the user's keys
// in a keyboxd store, its gpg) started by its absolute path with posix_spawn, the files and
// keyrings handed over open, its status lines read from a pipe until it ends or its time is up.
#include "platform/verify.h"

#include "platform/posix/keyrings.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <iterator>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

constexpr const char* system_gpgv = "/usr/bin/gpgv";
constexpr const char* system_keyrings = "/usr/share/keyrings";
constexpr int default_limit_ms = 2000;
// The size of a list or signature handed to gpgv at the most.
constexpr std::int64_t file_limit = std::int64_t{16} << 20;
// Descriptors in the child: the status pipe, the signature, the list, and
// the de-armored keyrings after them.
constexpr int status_fd = 3;
constexpr int signature_fd = 4;
constexpr int list_fd = 5;
constexpr int first_keyring_fd = 6;
constexpr std::size_t max_armored = 8;
constexpr std::size_t max_keyrings = 48;
constexpr std::size_t max_environment = 250;

// The command line of one run: its words and the room their text is kept in.
struct Command {
    const char* words[2 * max_keyrings + 16];
    std::size_t count;
    char text[12288];
    std::size_t used;
    int armored[max_armored]; // descriptors of de-armored keyrings, CLOEXEC
    std::size_t armored_count;
};

// Adds a word, copied into the command's room; false when it is full.
bool add_word(Command& command, const char* text)
{
    const std::size_t length = std::strlen(text);
    if (command.count + 2 >= std::size(command.words)
        || command.used + length + 1 > sizeof command.text) {
        return false;
    }
    char* word = command.text + command.used;
    std::memcpy(word, text, length + 1);
    command.used += length + 1;
    command.words[command.count++] = word;
    command.words[command.count] = nullptr;
    return true;
}

// Adds "--keyring FILE"; false when it does not fit.
bool add_keyring_words(Command& command, const char* file)
{
    const std::size_t count = command.count;
    const std::size_t used = command.used;
    if (add_word(command, "--keyring") && add_word(command, file)) {
        return true;
    }
    command.count = count;
    command.used = used;
    command.words[count] = nullptr;
    return false;
}

bool is_regular(const char* file)
{
    struct stat info {
    };
    return stat(file, &info) == 0 && S_ISREG(info.st_mode);
}

// `name` in the folder of `path` into out[0..size-1].
bool beside(const char* path, const char* name, char* out, std::size_t size)
{
    const char* slash = std::strrchr(path, '/');
    const int folder = slash != nullptr ? static_cast<int>(slash - path) + 1 : 0;
    const int written = std::snprintf(out, size, "%.*s%s", folder, path, name);
    return written > 0 && static_cast<std::size_t>(written) < size;
}

// Adds the keyring `file` where it is a regular file.
void add_keyring(Command& command, const char* folder, const char* name)
{
    char file[4096];
    const int written = std::snprintf(file, sizeof file, "%s/%s", folder, name);
    if (written <= 0 || static_cast<std::size_t>(written) >= sizeof file || !is_regular(file)) {
        return;
    }
    const std::size_t length = std::strlen(name);
    const bool armored = length > 4 && std::strcmp(name + length - 4, ".asc") == 0;
    if (!armored) {
        add_keyring_words(command, file);
        return;
    }
    if (command.armored_count == max_armored) {
        return;
    }
    const int fd = posix_dearmor(file);
    if (fd < 0) {
        return;
    }
    char fd_path[32];
    std::snprintf(fd_path, sizeof fd_path, "/dev/fd/%d",
                  first_keyring_fd + static_cast<int>(command.armored_count));
    if (add_keyring_words(command, fd_path)) {
        command.armored[command.armored_count++] = fd;
    } else {
        close(fd);
    }
}

// The words naming the keyrings of `keyring`; false when there are none.
bool add_keyrings(Command& command, Keyring keyring, const char* gnupg, const char* system)
{
    const std::size_t before = command.count;
    if (keyring == Keyring::trusted) {
        add_keyring(command, gnupg, "trustedkeys.kbx");
        add_keyring(command, gnupg, "trustedkeys.gpg");
    } else if (keyring == Keyring::user) {
        add_keyring(command, gnupg, "pubring.kbx");
        add_keyring(command, gnupg, "pubring.gpg");
    } else if (DIR* folder = opendir(system)) {
        std::size_t taken = 0;
        while (const dirent* entry = readdir(folder)) {
            const std::size_t length = std::strlen(entry->d_name);
            const char* end = entry->d_name + (length > 4 ? length - 4 : 0);
            // Keys a keyring package keeps as withdrawn vouch for nothing.
            if (taken < max_keyrings
                && (std::strcmp(end, ".gpg") == 0 || std::strcmp(end, ".asc") == 0)
                && std::strstr(entry->d_name, "removed") == nullptr) {
                add_keyring(command, system, entry->d_name);
                ++taken;
            }
        }
        closedir(folder);
    }
    return command.count > before;
}

// The environment inherited, with LANG=C in place of LANG and LC_ALL.
void environment(const char** out, std::size_t size)
{
    std::size_t count = 0;
    out[count++] = "LANG=C";
    for (char** at = environ; at != nullptr && *at != nullptr && count + 1 < size; ++at) {
        if (std::strncmp(*at, "LANG=", 5) != 0 && std::strncmp(*at, "LC_ALL=", 7) != 0) {
            out[count++] = *at;
        }
    }
    out[count] = nullptr;
}

std::int64_t now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Reads the status pipe into status[0..size-1] until it ends or the
// deadline passes; then waits for the child, which is killed (with its
// process group) when its time is up. Returns whether it ended in time.
bool collect(pid_t child, int pipe_fd, std::int64_t deadline, char* status, std::size_t size)
{
    std::size_t have = 0;
    char spill[512];
    bool open_pipe = true;
    while (open_pipe) {
        const std::int64_t left = deadline - now_ms();
        if (left <= 0) {
            break;
        }
        pollfd wait{pipe_fd, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        char* into = have + 1 < size ? status + have : spill;
        const std::size_t room = have + 1 < size ? size - 1 - have : sizeof spill;
        const ssize_t n = read(pipe_fd, into, room);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        open_pipe = n > 0;
        if (n > 0 && into != spill) {
            have += static_cast<std::size_t>(n);
        }
    }
    status[have] = '\0';
    int wait_status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &wait_status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) {
            return true;
        }
        if (now_ms() >= deadline) {
            break;
        }
        poll(nullptr, 0, 2);
    }
    kill(-child, SIGKILL);
    kill(child, SIGKILL);
    while (waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
    }
    return false;
}

// Starts `command` with the descriptors in place; the child's pid, or -1.
pid_t start(const char* program, const Command& command, int pipe_write, int signature, int list)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return -1;
    }
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    // Its own process group, so that a hung gpgv is killed with any child
    // of its own; signals back to their defaults.
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setflags(
        &attributes,
        static_cast<short>(POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_write, status_fd);
    if (signature >= 0) {
        posix_spawn_file_actions_adddup2(&actions, signature, signature_fd);
    }
    posix_spawn_file_actions_adddup2(&actions, list, list_fd);
    for (std::size_t i = 0; i < command.armored_count; ++i) {
        posix_spawn_file_actions_adddup2(&actions, command.armored[i],
                                         first_keyring_fd + static_cast<int>(i));
    }
    const char* env[max_environment];
    environment(env, std::size(env));
    pid_t child = -1;
    const int result =
        posix_spawn(&child, program, &actions, &attributes, const_cast<char* const*>(command.words),
                    const_cast<char* const*>(env));
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return result == 0 ? child : -1;
}

// A descriptor moved above the ones the child gets, close-on-exec, so that
// no dup2 in the child lands on another's place; the old one is closed.
int lift(int fd)
{
    if (fd < 0) {
        return -1;
    }
    const int lifted = fcntl(fd, F_DUPFD_CLOEXEC, first_keyring_fd + int{max_armored});
    close(fd);
    return lifted;
}

} // namespace

VerifyRun platform_verify(const char* path, const char* list, const char* signature,
                          Keyring keyring, const VerifySetup& setup, char* status, std::size_t size)
{
    if (size > 0) {
        status[0] = '\0';
    }
    const char* gpgv = setup.gpgv != nullptr ? setup.gpgv : system_gpgv;
    if (size == 0 || gpgv[0] != '/' || access(gpgv, X_OK) != 0) {
        return VerifyRun::absent;
    }
    const char* home = setup.home;
    if (home == nullptr) {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/nonexistent";
    }
    char gnupg[4096];
    if (std::snprintf(gnupg, sizeof gnupg, "%s/.gnupg", home) >= static_cast<int>(sizeof gnupg)) {
        return VerifyRun::no_keys;
    }
    // The user's keys in a keyboxd store, which gpgv cannot read: the gpg
    // of the same GnuPG, beside gpgv, checks with them.
    char store[4096];
    char gpg[4096];
    const bool keybox = keyring == Keyring::user
                        && std::snprintf(store, sizeof store, "%s/public-keys.d/pubring.db", gnupg)
                               < static_cast<int>(sizeof store)
                        && is_regular(store);
    if (keybox && !(beside(gpgv, "gpg", gpg, sizeof gpg) && access(gpg, X_OK) == 0)) {
        return VerifyRun::no_keys;
    }
    Command command{};
    add_word(command, keybox ? "gpg" : "gpgv");
    add_word(command, "--homedir");
    add_word(command, gnupg);
    if (keybox) {
        // Nothing fetched, nothing asked, no trust database consulted.
        for (const char* word :
             {"--batch", "--no-tty", "--no-auto-key-retrieve", "--trust-model", "always"}) {
            add_word(command, word);
        }
    }
    add_word(command, "--status-fd");
    add_word(command, "3");
    const bool keys = keybox
                      || add_keyrings(command, keyring, gnupg,
                                      setup.keyrings != nullptr ? setup.keyrings : system_keyrings);
    const auto release = [&]() {
        for (std::size_t i = 0; i < command.armored_count; ++i) {
            close(command.armored[i]);
        }
    };
    if (!keys) {
        release();
        return VerifyRun::no_keys;
    }
    if (keybox) {
        add_word(command, "--verify");
    }
    add_word(command, "--");
    if (signature != nullptr) {
        add_word(command, "/dev/fd/4");
    }
    add_word(command, "/dev/fd/5");

    char file[4096];
    const int signature_file = signature != nullptr && beside(path, signature, file, sizeof file)
                                   ? lift(posix_open_regular(file, file_limit))
                                   : -1;
    const int list_file =
        beside(path, list, file, sizeof file) ? lift(posix_open_regular(file, file_limit)) : -1;
    int pipe_fds[2] = {-1, -1};
    VerifyRun result = VerifyRun::failed;
    if (list_file >= 0 && (signature == nullptr || signature_file >= 0)
        && pipe2(pipe_fds, O_CLOEXEC) == 0) {
        const int read_end = lift(pipe_fds[0]);
        const int write_end = lift(pipe_fds[1]);
        for (std::size_t i = 0; i < command.armored_count; ++i) {
            command.armored[i] = lift(command.armored[i]);
        }
        const int limit = setup.limit_ms > 0 ? setup.limit_ms : default_limit_ms;
        const std::int64_t deadline = now_ms() + limit;
        const pid_t child =
            read_end >= 0 && write_end >= 0
                ? start(keybox ? gpg : gpgv, command, write_end, signature_file, list_file)
                : -1;
        if (write_end >= 0) {
            close(write_end);
        }
        if (child > 0) {
            result = collect(child, read_end, deadline, status, size) ? VerifyRun::checked
                                                                      : VerifyRun::timed_out;
        }
        if (read_end >= 0) {
            close(read_end);
        }
    }
    release();
    for (const int fd : {signature_file, list_file}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    return result;
}
