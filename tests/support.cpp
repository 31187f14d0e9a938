#include "support.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <stdlib.h>

namespace
{

std::string hex(const unsigned char* bytes, std::size_t size)
{
    std::string text;
    char digits[3];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

} // namespace

std::string oracle_hex(const char* name, const void* data, std::size_t size)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const EVP_MD* type = EVP_get_digestbyname(name);
    if (type == nullptr || EVP_Digest(data, size, md, &length, type, nullptr) != 1) {
        throw std::runtime_error("libcrypto digest failed");
    }
    return hex(md, length);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
std::string oracle_sha512_finish(const std::uint64_t state[8], const unsigned char* tail,
                                 std::uint64_t total)
{
    // libcrypto's own padding and length field, on a context set up by hand.
    SHA512_CTX context;
    SHA512_Init(&context);
    for (unsigned i = 0; i < 8; ++i) {
        context.h[i] = state[i];
    }
    context.Nl = total << 3;
    context.Nh = total >> 61;
    context.num = static_cast<unsigned>(total % 128);
    std::memcpy(context.u.p, tail, context.num);
    unsigned char md[SHA512_DIGEST_LENGTH];
    SHA512_Final(md, &context);
    return hex(md, sizeof md);
}
#pragma GCC diagnostic pop

std::string state_hex(const std::uint64_t* state, unsigned count)
{
    std::string text;
    char digits[17];
    for (unsigned i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(state[i]));
        text += digits;
    }
    return text;
}

std::string state_hex(const std::uint32_t* state, unsigned count)
{
    std::string text;
    char digits[9];
    for (unsigned i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(state[i]));
        text += digits;
    }
    return text;
}

std::vector<unsigned char> random_bytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::vector<unsigned char> bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(generator());
    }
    return bytes;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "sha2hash-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::write(const std::string& name, const std::vector<unsigned char>& bytes) const
{
    std::string file = path + "/" + name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file);
    }
    return file;
}
