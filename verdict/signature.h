// Who signed the checksum list that decided: its OpenPGP signature beside
// it (LIST.gpg, .sig, .sign, .asc) or the list clear-signed, checked by the
// system's gpgv, and said in one line of the verdict.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/verify.h"
#include "verdict.h"

// What the signature of a list comes to.
enum class SignatureState {
    none,       // no signature beside the list: nothing to say
    good,       // a good signature by a key of a keyring, with a strong hash
    bad,        // a bad one: the list changed after signing, or another version's
    revoked,    // made by a revoked key
    expired,    // made by an expired key
    weak,       // made with MD5, SHA-1 or RIPEMD-160
    future,     // dated ahead of this computer's clock
    missing,    // made by a key in no keyring
    unreadable, // no signature gpgv can read
    outside,    // (clear-signed) the entry stands outside the signed text
    refused,    // (clear-signed) text outside the signed part, or a line not dash-escaped
    scheme,     // signed with minisign or signify: not checked here
    absent,     // no gpgv here
    timed_out,  // gpgv did not end in time and was killed
    failed,     // gpgv could not be run on the files
};

// Longest user ID and fingerprint kept.
inline constexpr std::size_t signature_signer_capacity = 160;
inline constexpr std::size_t signature_fingerprint_capacity = 72;

// The answer on one list's signature.
struct SignatureVerdict {
    SignatureState state;
    bool bad_beside;                        // a bad signature stands beside the good one
    Keyring keyring;                        // the keyring that vouched (good) or held the key
    char signer[signature_signer_capacity]; // its user ID, cleaned
    char fingerprint[signature_fingerprint_capacity]; // the key's, or its long key ID
    char file[verdict_name_capacity];                 // the signature's file name
    const char* scheme;                               // "minisign" or "signify"
};

// What the status lines of gpgv runs say, added up: for each kind of
// finding whether one was seen, with the first one's user ID and key.
enum class Finding { good, bad, revoked, expired, weak, future, missing, count };
struct SignatureFound {
    bool seen;
    char signer[signature_signer_capacity];
    char fingerprint[signature_fingerprint_capacity];
};
struct SignatureStatus {
    SignatureFound found[static_cast<int>(Finding::count)];
    std::int64_t now; // the clock, in seconds since 1970 (0: signatures' dates not looked at)
};

// Adds the findings of gpgv's status lines status[] (NUL-ended, "[GNUPG:]
// KEYWORD ..." lines) to `out`: GOODSIG with its VALIDSIG counts as good
// only with a hash other than MD5, SHA-1 and RIPEMD-160 (otherwise weak)
// and made at most an hour after out.now (otherwise future);
// EXPKEYSIG, REVKEYSIG, BADSIG; ERRSIG (with the full fingerprint where it
// gives one) and NO_PUBKEY for a missing key. User IDs are unescaped
// (%XX), cut, and their control and bidirectional characters replaced by
// '?'. Any text is safe to give.
void signature_parse(const char* status, SignatureStatus& out);

// The state of reading a list that may be clear-signed, line by line:
// whether it is, whether anything stands outside its signed part, and the
// signed text handed, with its dash escapes taken off, to a checksum scan.
struct ClearSigned {
    enum Phase { before, header, text, signature, after } phase;
    bool clear_signed; // a "-----BEGIN PGP SIGNED MESSAGE-----" line starts a line
    bool well_formed;  // only blank lines outside; every '-' line in the text escaped
    char start[40];    // the first bytes of the current line
    std::size_t length;
    bool blank;  // the line so far holds only spaces, tabs and CR
    int feeding; // the current line goes to the scan: -1 not yet known, 0 no, 1 yes
    ChecksumScan* scan;
};

// Starts reading a list; its signed text goes to `scan` (started here).
void clear_signed_start(ClearSigned& state, ChecksumScan& scan, const ChecksumTarget& target,
                        ListName list);
// Reads bytes[0..count-1], the next piece of the list.
void clear_signed_feed(ClearSigned& state, const unsigned char* bytes, std::size_t count);
// Ends the list; the signed text's entries stand in state.scan->tally.
void clear_signed_end(ClearSigned& state);

// Finds and checks the signature of `list` (a list in the folder of the
// file at `path`, whose entries `decided` says what decided), with gpgv and
// keys as `setup` says, into `verdict`. Works in room.scan and
// room.read_buffer.
void signature_check(const char* path, const FolderList& list, const ChecksumTarget& target,
                     const ChecksumTally& decided, VerdictRoom& room, const VerifySetup& setup,
                     SignatureVerdict& verdict);

// Checks the signatures of the lists `lists` (beside the file at `path`)
// that hold an entry equal to the digest, as room.tally names them, from
// its match_list on, until one is good: that one's answer into `verdict`
// and its number into `chosen`, else match_list's.
void signature_check_matching(const char* path, const FolderList* lists,
                              const ChecksumTarget& target, VerdictRoom& room,
                              const VerifySetup& setup, SignatureVerdict& verdict,
                              std::size_t& chosen);

// Shows `verdict` on the console, composed in `room` (nothing for none),
// for the list named `list`.
void signature_message(const SignatureVerdict& verdict, const char* list, bool after_report,
                       MessageRoom& room);

// Checks the signature of the list `list` in the folder of the file at
// `path`, whose entries `decided` says what decided, with the system's gpgv
// and keys, and says what it comes to in one line (two with a bad
// signature beside a good one).
void signature_show(const char* path, const FolderList& list, const ChecksumTarget& target,
                    const ChecksumTally& decided, VerdictRoom& room, bool after_report);

// Of the lists `lists` beside the file at `path` that hold an entry equal
// to the digest (room.tally), says in the same way what the signature of
// the first one with a good signature comes to, or else match_list's.
void signature_show_matching(const char* path, const FolderList* lists,
                             const ChecksumTarget& target, VerdictRoom& room, bool after_report);
