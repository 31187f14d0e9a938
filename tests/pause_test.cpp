// The pause on a terminal: one key, whole, without echo, pressed at the
// prompt; the terminal's settings back after any end, stop or signal; and a
// job that reads the terminal in the background stops as any reader does.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "runner.h"
#include "support.h"

// On a terminal the pause takes one key without echo and puts the settings
// back, also when the key is Ctrl-C (which then interrupts the program).
TEST(Pause, TakesOneKeyOnATerminalAndRestoresIt)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 11));
    for (const char key : {'k', '\x03'}) {
        int master = -1;
        const pid_t pid = start_on_terminal(path, Launch::plain, master);
        ASSERT_GE(pid, 0);
        std::string seen;
        ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
        termios waiting{};
        tcgetattr(master, &waiting);
        EXPECT_EQ(waiting.c_lflag & (ICANON | ECHO), 0U)
            << "the wait needs no Enter and echoes nothing";
        ASSERT_EQ(write(master, &key, 1), 1);

        const TerminalEnd end = finish_on_terminal(pid, master, seen);
        EXPECT_EQ(end.status, key == 'k' ? 0 : 128 + SIGINT);
        EXPECT_EQ(end.after_prompt, "\r\n") << "the key was echoed";
        expect_settings_restored(end.settings);
    }
}

// Started without a file on a terminal, a program says after the message
// and its empty line how it is used, then pauses; standard output and the
// status are as in any other failure, and with a file named, or with
// standard error not a terminal, nothing more is said.
TEST(Pause, BareStartSaysHowToUseTheProgram)
{
    int master = -1;
    const pid_t pid = start_on_terminal("", Launch::plain, master);
    ASSERT_GE(pid, 0);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 1);
    const std::string usage =
        "使い方: コマンドラインで hash512 ファイル [ダイジェスト] と入力します\r\n"
        "Usage: on the command line, type hash512 FILE [DIGEST]\r\n\r\n";
    EXPECT_EQ(seen.substr(0, seen.find(prompt) + prompt.size()),
              message_utf8 + "\r\n\r\n" + usage + prompt);

    const TempDir dir;
    for (const Program& program : programs) {
        const std::string name =
            std::string(program.exe).substr(std::string(program.exe).rfind('/') + 1);
        const Outcome bare =
            run({program.exe}, {"LANG=C.UTF-8"}, nullptr, Streams::stderr_terminal);
        EXPECT_EQ(bare.status, 1);
        EXPECT_EQ(bare.out, failure(message_utf8));
        EXPECT_NE(bare.err.find(name + " FILE [DIGEST]\r\n\r\n"), std::string::npos) << bare.err;
        const Outcome named = run({program.exe, dir.path + "/missing"}, {"LANG=C.UTF-8"}, nullptr,
                                  Streams::stderr_terminal);
        EXPECT_EQ(named.status, 1);
        EXPECT_EQ(named.out, failure(message_utf8));
        EXPECT_EQ(named.err, "");
        EXPECT_EQ(run({program.exe}).out, failure(message_utf8)); // and nothing on standard error
    }
}

// A key that sends several bytes (an arrow, a function key, a non-ASCII
// character) is taken whole: nothing of it is left for the shell.
TEST(Pause, TakesEveryByteOfAKey)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 12));
    for (const std::string key : {"\x1b[A", "\x1b[15~", "\xc3\xa9"}) {
        int master = -1;
        const pid_t pid = start_on_terminal(path, Launch::count_leftover, master);
        ASSERT_GE(pid, 0);
        std::string seen;
        ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
        ASSERT_EQ(write(master, key.data(), key.size()), static_cast<ssize_t>(key.size()));
        const TerminalEnd end = finish_on_terminal(pid, master, seen);
        EXPECT_EQ(end.status, 0) << "99: part of the key was left unread";
        EXPECT_EQ(end.after_prompt, "\r\n");
    }
}

// A signal that ends the program during the pause, sent from elsewhere,
// first puts the terminal's settings back; so do those whose default action
// also dumps core (none is written here), and the program still ends by the
// signal.
TEST(Pause, EndingSignalsRestoreTheTerminal)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 13));
    const rlimit no_core{0, 0};
    ASSERT_EQ(setrlimit(RLIMIT_CORE, &no_core), 0);
    for (const int signal_number : {SIGTERM, SIGHUP, SIGINT, SIGUSR1, SIGALRM, SIGABRT, SIGSEGV,
                                    SIGBUS, SIGFPE, SIGILL, SIGSYS, SIGTRAP, SIGSTKFLT}) {
        int master = -1;
        const pid_t pid = start_on_terminal(path, Launch::plain, master);
        ASSERT_GE(pid, 0);
        std::string seen;
        ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
        ASSERT_EQ(kill(pid, signal_number), 0);
        const TerminalEnd end = finish_on_terminal(pid, master, seen);
        EXPECT_EQ(end.status, 128 + signal_number);
        expect_settings_restored(end.settings);
    }
}

// A SIGCONT that comes just as the pause puts the terminal back (a shell
// continuing the program then) leaves the terminal as it was.
TEST(Pause, ContinuedAsTheTerminalIsPutBack)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 14));
    // A preloaded tcsetattr raises SIGCONT right after each return to line
    // mode.
    int master = -1;
    const pid_t pid = start_on_terminal_preloaded(path, CONTINUE_AT_RESTORE_PATH, master);
    ASSERT_GE(pid, 0);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 0);
    expect_settings_restored(end.settings);
}

// A terminal left in non-blocking mode still makes the pause wait for a key.
TEST(Pause, WaitsOnANonBlockingTerminal)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 14));
    int master = -1;
    const pid_t pid = start_on_terminal(path, Launch::nonblocking_input, master);
    ASSERT_GE(pid, 0);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    int status = 0;
    ASSERT_TRUE(wait_until_polling(pid, status))
        << "ended without a key, status " << decode(status);
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.after_prompt, "\r\n");
    expect_settings_restored(end.settings);
}

// Keys pressed while the file is read are not taken for the key the pause
// waits for: the pause waits until one is pressed at its prompt.
TEST(Pause, DiscardsKeysPressedBeforeThePrompt)
{
    const TempDir dir;
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int master = -1;
    const pid_t pid = start_on_terminal(fifo, Launch::plain, master);
    ASSERT_GE(pid, 0);
    int fd = -1;
    for (int tries = 0; tries < 2000 && fd < 0; ++tries) {
        fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // fails until the program reads it
        if (fd < 0) {
            usleep(10000);
        }
    }
    ASSERT_GE(fd, 0) << "the program never opened the FIFO";
    ASSERT_EQ(write(master, "x", 1), 1);
    ASSERT_EQ(write(fd, "data", 4), 4);
    close(fd);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    int status = 0;
    ASSERT_TRUE(wait_until_polling(pid, status, true))
        << "the pause took an earlier key: " << decode(status);
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.after_prompt, "\r\n");
}

// A stop at the pause gives the terminal back while the program stands;
// going on, the pause takes it again and waits for one key as before.
TEST(Pause, SurvivesAStop)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 25));
    int master = -1;
    const pid_t pid = start_on_terminal(path, Launch::job, master);
    ASSERT_GE(pid, 0);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    const pid_t job = tcgetpgrp(master);
    ASSERT_GT(job, 0);
    ASSERT_TRUE(eventually([&] { return raw(master); }));
    ASSERT_EQ(kill(-job, SIGTSTP), 0);
    ASSERT_TRUE(eventually([job] { return state_of(job) == 'T'; })) << "the program did not stop";
    expect_settings_restored([&] {
        termios now{};
        tcgetattr(master, &now);
        return now;
    }());
    ASSERT_EQ(kill(-job, SIGCONT), 0);
    ASSERT_TRUE(eventually([&] { return raw(master); }))
        << "the pause did not take the terminal again";
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.after_prompt, "\r\n") << "the key was echoed";
    expect_settings_restored(end.settings);
}

// `hash256 /dev/stdin &` from a job-control shell: reading the terminal in
// the background stops the job (its reading thread too) rather than failing;
// once the shell has given it the terminal and continued it ("fg"), it hashes
// what is typed there up to the end of input.
TEST(Job, ReadingTheTerminalInTheBackgroundStops)
{
    int shell_link[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, shell_link), 0);
    termios settings = shell_terminal();
    settings.c_cc[VEOF] = 4;
    int master = -1;
    const pid_t shell = forkpty(&master, nullptr, &settings, nullptr);
    ASSERT_GE(shell, 0);
    if (shell == 0) {
        // The shell: starts the job in a process group of its own, in the
        // background; on the test's word brings it to the foreground.
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);
            execl(HASH256_PATH, HASH256_PATH, "/dev/stdin", static_cast<char*>(nullptr));
            _exit(127);
        }
        setpgid(job, job);
        char go = 0;
        if (write(shell_link[1], &job, sizeof job) != sizeof job
            || read(shell_link[1], &go, 1) != 1) {
            _exit(126);
        }
        tcsetpgrp(STDIN_FILENO, job);
        kill(-job, SIGCONT);
        int status = 0;
        waitpid(job, &status, 0);
        _exit(decode(status));
    }
    close(shell_link[1]);
    pid_t job = 0;
    ASSERT_EQ(read(shell_link[0], &job, sizeof job), static_cast<ssize_t>(sizeof job));
    EXPECT_TRUE(eventually([job] { return state_of(job) == 'T' || state_of(job) == 'Z'; }));
    EXPECT_EQ(state_of(job), 'T') << "the background read did not stop the job";
    ASSERT_EQ(write(shell_link[0], "g", 1), 1);
    close(shell_link[0]);

    const std::string text = "typed in the foreground\n";
    ASSERT_EQ(write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ASSERT_EQ(write(master, "\x04", 1), 1); // the end of input
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(shell, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_NE(seen.find(oracle_hex("SHA256", text.data(), text.size())), std::string::npos) << seen;
}
