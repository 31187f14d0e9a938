// Checking an OpenPGP signature with the system's gpgv, run as a child
// process, where it differs by system. Defined in platform/posix/ for
// Linux and platform/windows/ for Windows on msvcrt.
#pragma once

#include <cstddef>

// The keyrings whose keys can vouch for a signature, tried in this order:
// gpgv's own trusted keys (HOME/.gnupg/trustedkeys.kbx or .gpg), the
// user's public keyring (HOME/.gnupg/pubring.kbx or .gpg), and the ones
// that the system's packages installed (/usr/share/keyrings). Where the
// user's keys live in a keyboxd store (HOME/.gnupg/public-keys.d/pubring.db),
// which gpgv cannot read, the gpg beside gpgv checks with them.
enum class Keyring { trusted, user, system };
inline constexpr int verify_keyring_count = 3;

// Where gpgv and the keys are. The programs pass nullptr for each: the
// system's gpgv by its absolute path, the home folder from the password
// database, the system's keyring folder, 2000 ms. Tests point elsewhere.
struct VerifySetup {
    const char* gpgv;     // the program, by absolute path
    const char* home;     // the home folder whose .gnupg holds the user's keys
    const char* keyrings; // the folder of the system packages' keyrings
    int limit_ms;         // how long gpgv may take before it is killed; 0: 2000
};

// How a run of gpgv went.
enum class VerifyRun {
    checked,   // it ran and ended; its status lines are in status[]
    no_keys,   // none of that keyring's files is there: nothing was run
    absent,    // no gpgv here
    failed,    // the files could not be opened as regular files, or gpgv not started
    timed_out, // gpgv did not end in time and was killed
};

// Runs gpgv on the signature `signature` (a name in the folder of `path`;
// nullptr where `list` is clear-signed) of the list `list` (a name in the
// folder of `path`), with the keys of `keyring` only. Both files are opened
// here as regular files of at most 16 MiB and handed over open, so no
// other file is read in their place. gpgv gets only the null device as
// standard input, output and error, LANG=C added to the environment, and
// its status lines (--status-fd) on a pipe, which go into status[0..size-1]
// with a NUL (what does not fit is left out). It is killed when it has not
// ended within the time limit. Nothing is written to any file.
VerifyRun platform_verify(const char* path, const char* list, const char* signature,
                          Keyring keyring, const VerifySetup& setup, char* status,
                          std::size_t size);
