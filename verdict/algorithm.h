// The digest's algorithm, one value that the report and the verdict share.
#pragma once

#include <cstddef>

// One SHA-2 algorithm: its name, its bits as list names and tags spell
// them, and the length of its digest in hexadecimal digits.
struct Algorithm {
    const char* name;   // "SHA512", "SHA384" or "SHA256"
    const char* bits;   // "512", "384" or "256"
    std::size_t digits; // 128, 96 or 64
};

inline constexpr Algorithm algorithm_sha512{"SHA512", "512", 128};
inline constexpr Algorithm algorithm_sha384{"SHA384", "384", 96};
inline constexpr Algorithm algorithm_sha256{"SHA256", "256", 64};

// The longest digest text (SHA-512), without its terminating NUL.
inline constexpr std::size_t algorithm_max_digits = 128;
