// Test support: independent digests from OpenSSL's libcrypto, helpers to
// compare them with the engines' hash states, and temporary files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Lowercase hexadecimal digest of data[0..size-1]; `name` is an OpenSSL
// digest name: "SHA512", "SHA384" or "SHA256".
std::string oracle_hex(const char* name, const void* data, std::size_t size);

// SHA-512 finish from an arbitrary state: `state` has absorbed total - r
// bytes (r = total % 128) and `tail` holds the last r bytes.
std::string oracle_sha512_finish(const std::uint64_t state[8], const unsigned char* tail,
                                 std::uint64_t total);

// The first `count` words of a state as the printed digest text.
std::string state_hex(const std::uint64_t* state, unsigned count);
std::string state_hex(const std::uint32_t* state, unsigned count);

// `size` pseudo-random bytes, the same for the same seed.
std::vector<unsigned char> random_bytes(std::size_t size, unsigned seed);

// A fresh temporary folder for one test, removed with everything in it when
// the object goes away.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Writes `bytes` to the file `name` in the folder; returns its path.
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::string path;
};
