// What the checksum tests share: the digests they give files and lists
// (SHA-256 ones and a SHA-512 one), and two text helpers.
#pragma once

#include <cctype>
#include <string>

inline const std::string d256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
inline const std::string other = "60303ae22b998861bce3b28f33eec1be758a213c86c93c076dbe9f558c11c752";
inline const std::string third = "fd61a03af4f77d870fc21e05e7e80678095c92d808cfb3b5c279ee04c74aca13";
inline const std::string d512 = std::string(64, 'a') + std::string(64, '7');

// `text` with every `from` in it replaced by `to`.
inline std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// `text` with its ASCII letters in upper case.
inline std::string upper(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}
