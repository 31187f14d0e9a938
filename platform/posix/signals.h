// The one handler of the ending signals on Linux, shared by the terminal's
// guard (the pause, the progress line) and the hashing of a mapped file,
// and the state it reads. Inside platform/posix/ only.
#pragma once

#include <csignal>
#include <cstddef>

#include <setjmp.h>
#include <termios.h>

// What the handler puts right: the terminal's settings found by the pause
// (while `restore_settings` is set) and the width of the progress line on
// standard error (0: none). The raw settings are the pause's own, taken
// again after a stop.
extern termios settings_to_restore;
extern termios raw_settings;
extern volatile sig_atomic_t restore_settings;
extern volatile sig_atomic_t line_columns;

// Where a fault on a mapped page of the file returns to, while work on the
// mapping runs (`mapped_work_runs` set), and the pages that are mapped then:
// the handler sends a SIGBUS there back to it.
extern sigjmp_buf mapped_fault;
extern volatile sig_atomic_t mapped_work_runs;
extern const unsigned char* volatile mapped_view;
extern volatile std::size_t mapped_length;

// The ending signals, each blocked while any of them is handled.
sigset_t ending_mask();

// The ending signals' handler, as an action: a fault on the mapped file
// goes back to `mapped_fault`; any other ending signal puts the screen
// right and ends the program by its default action.
struct sigaction ending_action();

// Puts the handler in place for every ending signal, for the pause or the
// progress line (`stops`: the pause, which also takes the terminal back
// over a stop and again after it), keeping the actions it replaces.
void guard_screen(bool stops);

// Puts back the actions that guard_screen replaced.
void unguard_screen(bool stops);
