// The verdict: whether the digest a program has just printed is the one the
// file is expected to have, shown on the console only.
#pragma once

// When standard error is a terminal (a console on Windows), looks for the
// digest the file at `path` is expected to have and says there whether
// `digest` (lowercase hexadecimal, of `algorithm`: "SHA256", "SHA384" or
// "SHA512") is that one. The expected digest comes from, first found:
// `argument` (the program's second, or nullptr) when it is exactly one
// digest; a checksum file in the file's folder that has an entry for it
// (NAME.sha256, NAME.sha256sum, SHA256SUMS, SHA256SUMS.txt, sha256sums.txt,
// sha256sum.txt, CHECKSUMS, checksums.txt, and the same for 384 and 512);
// the clipboard, on Windows, when it holds exactly one digest. Finding none
// shows nothing; nothing goes to standard output, and nothing can fail.
void verdict_show(const char* path, const char* argument, const char* algorithm, const char* digest);
