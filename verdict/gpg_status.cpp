// gpgv's status lines: what each signature of a run comes to, its signer's
// user ID cleaned for the console.
#include "signature.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "text.h"
#include "utf8.h"

namespace
{

// Whether the code point is a control or a bidirectional formatting
// character, which could drive the terminal or turn the line around.
bool is_hidden(std::uint32_t point)
{
    return point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0x061C || point == 0x200E
           || point == 0x200F || (point >= 0x202A && point <= 0x202E)
           || (point >= 0x2066 && point <= 0x2069);
}

// A user ID from a status line, text[0..length-1] (%XX escaped), into
// out[0..size-1]: unescaped, each character that is not UTF-8, a control
// or a bidirectional one as '?', cut at a character's end.
void clean_signer(const char* text, std::size_t length, char* out, std::size_t size)
{
    unsigned char raw[signature_signer_capacity * 2];
    std::size_t count = 0;
    for (std::size_t i = 0; i < length && count < sizeof raw; ++i) {
        if (text[i] == '%' && i + 2 < length
            && hex_value(static_cast<unsigned char>(text[i + 1])) >= 0
            && hex_value(static_cast<unsigned char>(text[i + 2])) >= 0) {
            raw[count++] =
                static_cast<unsigned char>(hex_value(static_cast<unsigned char>(text[i + 1])) * 16
                                           + hex_value(static_cast<unsigned char>(text[i + 2])));
            i += 2;
        } else {
            raw[count++] = static_cast<unsigned char>(text[i]);
        }
    }
    std::size_t written = 0;
    for (std::size_t i = 0; i < count;) {
        const unsigned char lead = raw[i];
        std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        bool valid =
            i + bytes <= count && utf8_valid(reinterpret_cast<const char*>(raw + i), bytes);
        std::uint32_t point = 0;
        if (valid) {
            point = bytes == 1   ? lead
                    : bytes == 2 ? (lead & 0x1FU)
                    : bytes == 3 ? (lead & 0x0FU)
                                 : (lead & 0x07U);
            for (std::size_t k = 1; k < bytes; ++k) {
                point = (point << 6U) | (raw[i + k] & 0x3FU);
            }
        } else {
            bytes = 1;
        }
        const bool shown = valid && !is_hidden(point);
        const std::size_t need = shown ? bytes : 1;
        if (written + need + 1 > size) {
            break;
        }
        if (shown) {
            std::memcpy(out + written, raw + i, bytes);
        } else {
            out[written] = '?';
        }
        written += need;
        i += bytes;
    }
    while (written > 0 && out[written - 1] == ' ') {
        --written;
    }
    out[written] = '\0';
}

// The n-th word (from 0) of line[0..length-1] after its keyword, as
// [at, at + size); false when there is none.
bool word(const char* line, std::size_t length, int n, std::size_t& at, std::size_t& size)
{
    std::size_t i = 0;
    for (int k = -1; k <= n; ++k) {
        while (i < length && line[i] == ' ') {
            ++i;
        }
        at = i;
        while (i < length && line[i] != ' ') {
            ++i;
        }
        size = i - at;
        if (size == 0) {
            return false;
        }
    }
    return true;
}

void copy_word(const char* line, std::size_t length, int n, char* out, std::size_t out_size)
{
    std::size_t at = 0;
    std::size_t size = 0;
    if (word(line, length, n, at, size) && size < out_size) {
        bool hex = true;
        for (std::size_t i = 0; i < size; ++i) {
            hex = hex && hex_value(static_cast<unsigned char>(line[at + i])) >= 0;
        }
        if (hex) {
            std::memcpy(out, line + at, size);
            out[size] = '\0';
        }
    }
}

// The n-th word of line[0..length-1] after its keyword read as a decimal
// number of at most `digits` digits; 0 when it is none.
std::int64_t number(const char* line, std::size_t length, int n, std::size_t digits)
{
    std::size_t at = 0;
    std::size_t size = 0;
    std::int64_t value = 0;
    if (!word(line, length, n, at, size) || size > digits) {
        return 0;
    }
    for (std::size_t i = 0; i < size; ++i) {
        const int digit = line[at + i] - '0';
        if (digit < 0 || digit > 9) {
            return 0;
        }
        value = value * 10 + digit;
    }
    return value;
}

// One signature of a run, as its status lines tell it.
struct Current {
    int kind; // a Finding, or -1
    bool valid;
    unsigned hash;
    std::int64_t made; // seconds since 1970
    char signer[signature_signer_capacity];
    char key_id[signature_fingerprint_capacity];
    char fingerprint[signature_fingerprint_capacity];
};

void finish(Current& current, SignatureStatus& out)
{
    int kind = current.kind;
    // MD5, SHA-1, RIPEMD-160: OpenPGP's hash algorithms 1, 2 and 3.
    if (kind == static_cast<int>(Finding::good) && (!current.valid || current.hash <= 3)) {
        kind = static_cast<int>(Finding::weak);
    }
    // gpgv takes a signature dated ahead of the clock as good.
    constexpr std::int64_t hour = 3600;
    if (kind == static_cast<int>(Finding::good) && out.now > 0 && current.made > out.now + hour) {
        kind = static_cast<int>(Finding::future);
    }
    if (kind >= 0 && !out.found[kind].seen) {
        SignatureFound& found = out.found[kind];
        found.seen = true;
        std::snprintf(found.signer, sizeof found.signer, "%s", current.signer);
        std::snprintf(found.fingerprint, sizeof found.fingerprint, "%s",
                      current.fingerprint[0] != '\0' ? current.fingerprint : current.key_id);
    }
    current = Current{};
    current.kind = -1;
}

// Reads one status line: line[0..length-1] after "[GNUPG:] ".
void status_line(const char* line, std::size_t length, Current& current, SignatureStatus& out)
{
    std::size_t at = 0;
    std::size_t size = 0;
    if (!word(line, length, -1, at, size)) {
        return;
    }
    const auto is = [&](const char* keyword) {
        return size == std::strlen(keyword) && std::strncmp(line, keyword, size) == 0;
    };
    const Finding kinds[] = {Finding::good, Finding::revoked, Finding::expired, Finding::bad};
    const char* keywords[] = {"GOODSIG", "REVKEYSIG", "EXPKEYSIG", "BADSIG"};
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        if (is(keywords[k])) {
            if (current.kind >= 0) {
                finish(current, out);
            }
            current.kind = static_cast<int>(kinds[k]);
            copy_word(line, length, 0, current.key_id, sizeof current.key_id);
            std::size_t id_at = 0;
            std::size_t id_size = 0;
            if (word(line, length, 0, id_at, id_size)) {
                const std::size_t from = id_at + id_size + (id_at + id_size < length ? 1 : 0);
                clean_signer(line + from, length - from, current.signer, sizeof current.signer);
            }
            return;
        }
    }
    if (is("NEWSIG")) {
        finish(current, out);
    } else if (is("VALIDSIG")) {
        current.valid = true;
        current.hash = static_cast<unsigned>(number(line, length, 7, 3));
        current.made = number(line, length, 2, 12);
        copy_word(line, length, 0, current.fingerprint, sizeof current.fingerprint);
        copy_word(line, length, 9, current.fingerprint, sizeof current.fingerprint);
    } else if (is("ERRSIG")) {
        std::size_t rc_at = 0;
        std::size_t rc_size = 0;
        // Return code 9: no public key.
        if (word(line, length, 5, rc_at, rc_size) && rc_size == 1 && line[rc_at] == '9') {
            if (current.kind >= 0) {
                finish(current, out);
            }
            current.kind = static_cast<int>(Finding::missing);
            copy_word(line, length, 0, current.key_id, sizeof current.key_id);
            copy_word(line, length, 6, current.fingerprint, sizeof current.fingerprint);
        }
    } else if (is("NO_PUBKEY") && current.kind < 0) {
        current.kind = static_cast<int>(Finding::missing);
        copy_word(line, length, 0, current.key_id, sizeof current.key_id);
    }
}

} // namespace

void signature_parse(const char* status, SignatureStatus& out)
{
    constexpr const char* prefix = "[GNUPG:] ";
    Current current{};
    current.kind = -1;
    for (const char* line = status; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        const std::size_t length =
            end != nullptr ? static_cast<std::size_t>(end - line) : std::strlen(line);
        const std::size_t skip = std::strlen(prefix);
        if (length > skip && std::strncmp(line, prefix, skip) == 0) {
            status_line(line + skip, length - skip, current, out);
        }
        line += length + (end != nullptr ? 1 : 0);
    }
    finish(current, out);
}
