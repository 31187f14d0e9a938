// The list's signature: found beside it or in it, checked by gpgv through
// the seam, its status lines read, and what it comes to said in one line.
#include "signature.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "platform/lookup.h"
#include "utf8.h"

namespace
{

using Text = MessageText;

// "署名 [signed]"
constexpr Text signed_label{"\x8F\x90\x96\xBC\x01[signed]", "署名\x01[signed]"};
// "署名 [signature]"
constexpr Text signature_label{"\x8F\x90\x96\xBC\x01[signature]", "署名\x01[signature]"};
// ": "
constexpr Text colon{": ", ": "};
// "（鍵 [key] "
constexpr Text key_open{"\x81i\x8C\xAE\x01[key]\x01", "（鍵\x01[key]\x01"};
// "鍵 [key] "
constexpr Text key_word{"\x8C\xAE\x01[key]\x01", "鍵\x01[key]\x01"};
// "）"
constexpr Text key_close{"\x81j", "）"};
// "、gpgv の信頼する鍵 [gpgv's trusted keys]）"
constexpr Text by_trusted{"\x81\x41gpgv\x01\x82\xCC\x90M\x97\x8A\x82\xB7\x82\xE9\x8C\xAE "
                          "[gpgv's\x01trusted\x01keys]\x81j",
                          "、gpgv\x01の信頼する鍵 [gpgv's\x01trusted\x01keys]）"};
// "、あなたの鍵束 [your keyring]）"
constexpr Text by_user{
    "\x81\x41\x82\xA0\x82\xC8\x82\xBD\x82\xCC\x8C\xAE\x91\xA9 [your\x01keyring]\x81j",
    "、あなたの鍵束 [your\x01keyring]）"};
// "、システムのパッケージの鍵束 [a system package's keyring]）"
constexpr Text by_system{"\x81\x41\x83V\x83X\x83\x65\x83\x80\x82\xCC\x83p\x83\x62\x83P\x81["
                         "\x83W\x82\xCC\x8C\xAE\x91\xA9 [a\x01system\x01package's\x01keyring]\x81j",
                         "、システムのパッケージの鍵束 [a\x01system\x01package's\x01keyring]）"};
// " は次の人が署名しています: "
constexpr Text signed_by{" \x82\xCD\x8E\x9F\x82\xCC\x90l\x82\xAA\x8F\x90\x96\xBC\x82\xB5\x82\xC4"
                         "\x82\xA2\x82\xDC\x82\xB7: ",
                         " は次の人が署名しています: "};
// " は不正な署名です。一覧が署名の後に変わったか、別の版の署名です [bad signature:
// the list changed after signing, or another version's signature]"
constexpr Text bad{
    " \x82\xCD\x95s\x90\xB3\x82\xC8\x8F\x90\x96\xBC\x82\xC5\x82\xB7\x81\x42\x88\xEA\x97\x97\x82"
    "\xAA\x8F\x90\x96\xBC\x82\xCC\x8C\xE3\x82\xC9\x95\xCF\x82\xED\x82\xC1\x82\xBD\x82\xA9\x81\x41"
    "\x95\xCA\x82\xCC\x94\xC5\x82\xCC\x8F\x90\x96\xBC\x82\xC5\x82\xB7 [bad\x01signature:\x01the"
    "\x01list\x01\x63hanged\x01\x61\x66ter\x01signing,\x01or\x01\x61nother\x01version's"
    "\x01signature]",
    " は不正な署名です。一覧が署名の後に変わったか、別の版の署名です [bad\x01signature:\x01the"
    "\x01list\x01\x63hanged\x01\x61\x66ter\x01signing,\x01or\x01\x61nother\x01version's"
    "\x01signature]"};
// " の鍵は失効しています。署名は数えません [key revoked]"
constexpr Text revoked{" \x82\xCC\x8C\xAE\x82\xCD\x8E\xB8\x8C\xF8\x82\xB5\x82\xC4\x82\xA2\x82\xDC"
                       "\x82\xB7\x81\x42\x8F\x90\x96\xBC\x82\xCD\x90\x94\x82\xA6\x82\xDC\x82\xB9"
                       "\x82\xF1 [key\x01revoked]",
                       " の鍵は失効しています。署名は数えません [key\x01revoked]"};
// " の鍵は期限切れです。署名は数えません [key expired]"
constexpr Text expired{" \x82\xCC\x8C\xAE\x82\xCD\x8A\xFA\x8C\xC0\x90\xD8\x82\xEA\x82\xC5\x82\xB7"
                       "\x81\x42\x8F\x90\x96\xBC\x82\xCD\x90\x94\x82\xA6\x82\xDC\x82\xB9\x82\xF1 "
                       "[key\x01\x65xpired]",
                       " の鍵は期限切れです。署名は数えません [key\x01\x65xpired]"};
// " は弱いハッシュ（MD5、SHA-1、RIPEMD-160）の署名です。数えません [weak hash]"
constexpr Text weak{
    " \x82\xCD\x8E\xE3\x82\xA2\x83n\x83\x62\x83V\x83\x85\x81iMD5\x81\x41SHA-1"
    "\x81\x41RIPEMD-160\x81j\x82\xCC\x8F\x90\x96\xBC\x82\xC5\x82\xB7\x81\x42\x90"
    "\x94\x82\xA6\x82\xDC\x82\xB9\x82\xF1 [weak\x01hash]",
    " は弱いハッシュ（MD5、SHA-1、RIPEMD-160）の署名です。数えません [weak\x01hash]"};
// " がありません [key missing]。取り込む前に、この指紋を配布元のサイトに載っている指紋と
// 比べてください [compare it with the one on the publisher's own site before importing it]"
constexpr Text missing{
    " \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1 [key\x01missing]\x81\x42\x8E\xE6\x82\xE8"
    "\x8D\x9E\x82\xDE\x91O\x82\xC9\x81\x41\x82\xB1\x82\xCC\x8Ew\x96\xE4\x82\xF0\x94z\x95z\x8C\xB3"
    "\x82\xCC\x83T\x83\x43\x83g\x82\xC9\x8D\xDA\x82\xC1\x82\xC4\x82\xA2\x82\xE9\x8Ew\x96\xE4\x82"
    "\xC6\x94\xE4\x82\xD7\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2 [compare\x01it\x01with\x01the"
    "\x01one\x01on\x01the\x01publisher's\x01own\x01site\x01\x62\x65\x66ore\x01importing\x01it]",
    " がありません [key\x01missing]。取り込む前に、この指紋を配布元のサイトに載っている指紋と"
    "比べてください [compare\x01it\x01with\x01the\x01one\x01on\x01the\x01publisher's\x01own\x01"
    "site\x01\x62\x65\x66ore\x01importing\x01it]"};
// " は読める署名ではありません [no readable signature]"
constexpr Text unreadable{" \x82\xCD\x93\xC7\x82\xDF\x82\xE9\x8F\x90\x96\xBC\x82\xC5\x82\xCD\x82"
                          "\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1 [no\x01readable\x01signature]",
                          " は読める署名ではありません [no\x01readable\x01signature]"};
// ": この記載は署名の範囲外です [this entry is not covered by the signature]"
constexpr Text outside{": \x82\xB1\x82\xCC\x8BL\x8D\xDA\x82\xCD\x8F\x90\x96\xBC\x82\xCC\x94\xCD"
                       "\x88\xCD\x8AO\x82\xC5\x82\xB7 [this\x01\x65ntry\x01is\x01not\x01\x63overed"
                       "\x01\x62y\x01the\x01signature]",
                       ": この記載は署名の範囲外です [this\x01\x65ntry\x01is\x01not\x01\x63overed"
                       "\x01\x62y\x01the\x01signature]"};
// " は署名の範囲の外に文字があるので、確かめません [text outside the signed part; not checked]"
constexpr Text refused{
    " \x82\xCD\x8F\x90\x96\xBC\x82\xCC\x94\xCD\x88\xCD\x82\xCC\x8AO\x82\xC9\x95\xB6\x8E\x9A\x82"
    "\xAA\x82\xA0\x82\xE9\x82\xCC\x82\xC5\x81\x41\x8Am\x82\xA9\x82\xDF\x82\xDC\x82\xB9\x82\xF1 "
    "[text\x01outside\x01the\x01signed\x01part;\x01not\x01\x63hecked]",
    " は署名の範囲の外に文字があるので、確かめません [text\x01outside\x01the\x01signed\x01"
    "part;\x01not\x01\x63hecked]"};
// " の署名は、ここでは確かめません [signed with this scheme; not checked here]"
constexpr Text scheme{" \x82\xCC\x8F\x90\x96\xBC\x82\xCD\x81\x41\x82\xB1\x82\xB1\x82\xC5\x82\xCD"
                      "\x8Am\x82\xA9\x82\xDF\x82\xDC\x82\xB9\x82\xF1 [signed\x01with\x01this\x01"
                      "scheme;\x01not\x01\x63hecked\x01here]",
                      " の署名は、ここでは確かめません [signed\x01with\x01this\x01scheme;\x01not"
                      "\x01\x63hecked\x01here]"};
// " は署名されていますが、ここには確かめられる GnuPG (gpgv) がありません [signed; nothing
// here can check it]"
constexpr Text absent{" \x82\xCD\x8F\x90\x96\xBC\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7"
                      "\x82\xAA\x81\x41\x82\xB1\x82\xB1\x82\xC9\x82\xCD\x8Am\x82\xA9\x82\xDF\x82"
                      "\xE7\x82\xEA\x82\xE9 GnuPG (gpgv) \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9"
                      "\x82\xF1 [signed;\x01nothing\x01here\x01\x63\x61n\x01\x63heck\x01it]",
                      " は署名されていますが、ここには確かめられる GnuPG (gpgv) がありません "
                      "[signed;\x01nothing\x01here\x01\x63\x61n\x01\x63heck\x01it]"};
// ": gpgv が時間内に答えなかったので止めました [gpgv hung and was killed]"
constexpr Text timed_out{": gpgv \x82\xAA\x8E\x9E\x8A\xD4\x93\xE0\x82\xC9\x93\x9A\x82\xA6\x82\xC8"
                         "\x82\xA9\x82\xC1\x82\xBD\x82\xCC\x82\xC5\x8E~\x82\xDF\x82\xDC\x82\xB5\x82"
                         "\xBD [gpgv\x01hung\x01\x61nd\x01was\x01killed]",
                         ": gpgv が時間内に答えなかったので止めました [gpgv\x01hung\x01\x61nd"
                         "\x01was\x01killed]"};
// ": gpgv を実行できませんでした [gpgv could not run]"
constexpr Text failed{": gpgv \x82\xF0\x8E\xC0\x8Ds\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x82\xC5"
                      "\x82\xB5\x82\xBD [gpgv\x01\x63ould\x01not\x01run]",
                      ": gpgv を実行できませんでした [gpgv\x01\x63ould\x01not\x01run]"};

// The size of a list read at the most, and of a signature file looked at.
constexpr std::uint64_t list_limit = std::uint64_t{16} << 20;
constexpr std::uint64_t signature_limit = std::uint64_t{1} << 20;

constexpr const char* signed_message = "-----BEGIN PGP SIGNED MESSAGE-----";
constexpr const char* signature_begin = "-----BEGIN PGP SIGNATURE-----";
constexpr const char* signature_end = "-----END PGP SIGNATURE-----";

bool starts_with(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The hexadecimal digit's value, or -1.
int hex_value(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

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
        if (text[i] == '%' && i + 2 < length && hex_value(text[i + 1]) >= 0
            && hex_value(text[i + 2]) >= 0) {
            raw[count++] =
                static_cast<unsigned char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
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
            hex = hex && hex_value(line[at + i]) >= 0;
        }
        if (hex) {
            std::memcpy(out, line + at, size);
            out[size] = '\0';
        }
    }
}

// One signature of a run, as its status lines tell it.
struct Current {
    int kind; // a Finding, or -1
    bool valid;
    unsigned hash;
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
        std::size_t hash_at = 0;
        std::size_t hash_size = 0;
        current.hash = 0;
        if (word(line, length, 7, hash_at, hash_size) && hash_size <= 3) {
            for (std::size_t i = 0; i < hash_size; ++i) {
                const int digit = line[hash_at + i] - '0';
                current.hash =
                    digit >= 0 && digit <= 9 ? current.hash * 10 + static_cast<unsigned>(digit) : 0;
            }
        }
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

// The first bytes of a signature file, to tell what it is.
struct Head {
    unsigned char bytes[64];
    std::size_t count;
};

void keep_head(void* context, const unsigned char* bytes, std::size_t count)
{
    Head& head = *static_cast<Head*>(context);
    const std::size_t take =
        count < sizeof head.bytes - head.count ? count : sizeof head.bytes - head.count;
    std::memcpy(head.bytes + head.count, bytes, take);
    head.count += take;
}

enum class Detached { none, openpgp, minisign, signify };

// What the file `name` beside `path` is: an OpenPGP signature (binary, or
// armored), signify's, or nothing of that.
Detached detached_kind(const char* path, const char* name, VerdictRoom& room)
{
    Head head{};
    if (platform_list_time(path, name) < 0
        || platform_read_list(path, name, signature_limit, room.read_buffer,
                              sizeof room.read_buffer, keep_head, &head)
               < 0
        || head.count == 0) {
        return Detached::none;
    }
    char text[sizeof head.bytes + 1];
    std::memcpy(text, head.bytes, head.count);
    text[head.count] = '\0';
    const char* start = text;
    while (*start == ' ' || *start == '\t' || *start == '\r' || *start == '\n') {
        ++start;
    }
    if (starts_with(start, "untrusted comment:")) {
        return Detached::signify;
    }
    // A binary packet has its high bit set; an armored one its header.
    return (head.bytes[0] & 0x80U) != 0 || starts_with(start, signature_begin) ? Detached::openpgp
                                                                               : Detached::none;
}

// Looks beside the list for its detached signature: the name of the first
// OpenPGP one into verdict.file, or a scheme not checked here.
Detached find_detached(const char* path, const char* list, VerdictRoom& room,
                       SignatureVerdict& verdict)
{
    for (const char* suffix : {".gpg", ".sig", ".sign", ".asc", ".minisig"}) {
        char name[verdict_name_capacity];
        const int written = std::snprintf(name, sizeof name, "%s%s", list, suffix);
        if (written <= 0 || static_cast<std::size_t>(written) >= sizeof name) {
            continue;
        }
        Detached kind = detached_kind(path, name, room);
        if (kind == Detached::signify && std::strcmp(suffix, ".minisig") == 0) {
            kind = Detached::minisign;
        }
        if (kind != Detached::none) {
            std::snprintf(verdict.file, sizeof verdict.file, "%s", name);
            return kind;
        }
    }
    return Detached::none;
}

// Whether the signed text's entries say what decided: an entry of the
// same rank that matches, or one that differs.
bool covered(const ChecksumTally& signed_text, const ChecksumTally& decided)
{
    return signed_text.rank == decided.rank
           && (decided.matched ? signed_text.matched : signed_text.differing > 0);
}

void feed_clear_signed(void* context, const unsigned char* bytes, std::size_t count)
{
    clear_signed_feed(*static_cast<ClearSigned*>(context), bytes, count);
}

// Runs gpgv with each keyring in turn, until one vouches for a good
// signature, and says what their status lines come to.
void run_gpgv(const char* path, const char* list, const char* signature, VerdictRoom& room,
              const VerifySetup& setup, SignatureVerdict& verdict)
{
    SignatureStatus status{};
    Keyring holder[static_cast<int>(Finding::count)] = {};
    bool ran = false;
    char* text = reinterpret_cast<char*>(room.read_buffer);
    for (const Keyring keyring : {Keyring::trusted, Keyring::user, Keyring::system}) {
        const VerifyRun run =
            platform_verify(path, list, signature, keyring, setup, text, sizeof room.read_buffer);
        if (run == VerifyRun::no_keys) {
            continue;
        }
        if (run != VerifyRun::checked) {
            verdict.state = run == VerifyRun::absent      ? SignatureState::absent
                            : run == VerifyRun::timed_out ? SignatureState::timed_out
                                                          : SignatureState::failed;
            return;
        }
        ran = true;
        bool seen[static_cast<int>(Finding::count)];
        for (int k = 0; k < static_cast<int>(Finding::count); ++k) {
            seen[k] = status.found[k].seen;
        }
        signature_parse(text, status);
        for (int k = 0; k < static_cast<int>(Finding::count); ++k) {
            holder[k] = status.found[k].seen && !seen[k] ? keyring : holder[k];
        }
        if (status.found[static_cast<int>(Finding::good)].seen) {
            break;
        }
    }
    constexpr struct {
        Finding finding;
        SignatureState state;
    } order[] = {
        {Finding::good, SignatureState::good},       {Finding::bad, SignatureState::bad},
        {Finding::revoked, SignatureState::revoked}, {Finding::expired, SignatureState::expired},
        {Finding::weak, SignatureState::weak},       {Finding::missing, SignatureState::missing}};
    verdict.state = ran ? SignatureState::unreadable : SignatureState::missing;
    for (const auto& each : order) {
        const SignatureFound& found = status.found[static_cast<int>(each.finding)];
        if (found.seen) {
            verdict.state = each.state;
            verdict.keyring = holder[static_cast<int>(each.finding)];
            std::snprintf(verdict.signer, sizeof verdict.signer, "%s", found.signer);
            std::snprintf(verdict.fingerprint, sizeof verdict.fingerprint, "%s", found.fingerprint);
            break;
        }
    }
    verdict.bad_beside =
        verdict.state == SignatureState::good && status.found[static_cast<int>(Finding::bad)].seen;
}

// What a signature that comes to `state` is said to be, after the name of
// the list (`names_list`) or of the signature's file.
struct Reason {
    SignatureState state;
    const Text* text;
    bool names_list;
};
constexpr Reason reasons[] = {
    {SignatureState::bad, &bad, false},        {SignatureState::unreadable, &unreadable, false},
    {SignatureState::outside, &outside, true}, {SignatureState::refused, &refused, true},
    {SignatureState::absent, &absent, true},   {SignatureState::timed_out, &timed_out, false},
    {SignatureState::failed, &failed, false}};

void add(MessageRoom& room, const Text& text, bool label = false)
{
    message_add(room, text, label);
}

// "LABEL: " at the start of a line.
void begin(MessageRoom& room, const Text& label)
{
    message_start(room);
    add(room, label, true);
    add(room, colon);
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

void clear_signed_start(ClearSigned& state, ChecksumScan& scan, const ChecksumTarget& target,
                        ListName list)
{
    state = ClearSigned{};
    state.well_formed = true;
    state.blank = true;
    state.feeding = -1;
    state.scan = &scan;
    checksum_scan_start(scan, target, list);
}

namespace
{

// Whether the line read so far is `marker`, but for spaces, tabs and CR
// after it.
bool line_is(const ClearSigned& state, const char* marker)
{
    const std::size_t length = std::strlen(marker);
    if (state.length > sizeof state.start || state.length < length
        || std::memcmp(state.start, marker, length) != 0) {
        return false;
    }
    for (std::size_t i = length; i < state.length; ++i) {
        if (state.start[i] != ' ' && state.start[i] != '\t' && state.start[i] != '\r') {
            return false;
        }
    }
    return true;
}

void end_line(ClearSigned& state)
{
    switch (state.phase) {
    case ClearSigned::before:
        if (line_is(state, signed_message)) {
            state.clear_signed = true;
            state.phase = ClearSigned::header;
        } else if (!state.blank) {
            state.well_formed = false;
        }
        break;
    case ClearSigned::header:
        if (state.blank) {
            state.phase = ClearSigned::text;
        }
        break;
    case ClearSigned::text:
        if (state.feeding < 0 && state.length > 0) {
            state.feeding = 0; // a line of a lone '-'
        }
        if (state.feeding != 0) {
            checksum_scan_feed(*state.scan, reinterpret_cast<const unsigned char*>("\n"), 1);
        } else if (line_is(state, signature_begin)) {
            state.phase = ClearSigned::signature;
        } else {
            state.well_formed = false; // a '-' line not dash-escaped
        }
        break;
    case ClearSigned::signature:
        if (line_is(state, signature_end)) {
            state.phase = ClearSigned::after;
        }
        break;
    case ClearSigned::after:
        state.well_formed = state.well_formed && state.blank;
        break;
    }
    state.length = 0;
    state.blank = true;
    state.feeding = -1;
}

} // namespace

void clear_signed_feed(ClearSigned& state, const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const auto c = static_cast<char>(bytes[i]);
        if (c == '\n') {
            end_line(state);
            continue;
        }
        if (state.length < sizeof state.start) {
            state.start[state.length] = c;
        }
        const std::size_t at = state.length++;
        state.blank = state.blank && (c == ' ' || c == '\t' || c == '\r');
        if (state.phase != ClearSigned::text) {
            continue;
        }
        // A line of the signed text starts with "- " (taken off), with
        // another '-' (a marker, or not escaped), or with anything else.
        if (state.feeding < 0) {
            if (at == 0 && c != '-') {
                state.feeding = 1;
            } else if (at == 1) {
                state.feeding = c == ' ' ? 1 : 0;
                continue;
            }
        }
        if (state.feeding == 1) {
            checksum_scan_feed(*state.scan, bytes + i, 1);
        }
    }
}

void clear_signed_end(ClearSigned& state)
{
    if (state.length > 0) {
        end_line(state);
    }
    state.well_formed = state.well_formed && state.phase == ClearSigned::after;
    checksum_scan_end(*state.scan, true);
}

void signature_check(const char* path, const FolderList& list, const ChecksumTarget& target,
                     VerdictRoom& room, const VerifySetup& setup, SignatureVerdict& verdict)
{
    verdict = SignatureVerdict{};
    verdict.state = SignatureState::none;
    const Detached detached = find_detached(path, list.name, room, verdict);
    if (detached == Detached::minisign || detached == Detached::signify) {
        verdict.state = SignatureState::scheme;
        verdict.scheme = detached == Detached::minisign ? "minisign" : "signify";
        return;
    }
    if (detached == Detached::none) {
        ClearSigned state{};
        clear_signed_start(state, room.scan, target, list.kind);
        const int read = platform_read_list(path, list.name, list_limit, room.read_buffer,
                                            sizeof room.read_buffer, feed_clear_signed, &state);
        clear_signed_end(state);
        if (read < 0 || !state.clear_signed) {
            return;
        }
        std::snprintf(verdict.file, sizeof verdict.file, "%s", list.name);
        if (!covered(room.scan.tally, room.tally)) {
            verdict.state = SignatureState::outside;
            return;
        }
        if (read != 1 || !state.well_formed) {
            verdict.state = SignatureState::refused;
            return;
        }
    }
    run_gpgv(path, list.name, detached == Detached::openpgp ? verdict.file : nullptr, room, setup,
             verdict);
}

void signature_message(const SignatureVerdict& verdict, const char* list, bool after_report,
                       MessageRoom& room)
{
    const auto key = [&](const Text& reason) {
        begin(room, signature_label);
        if (verdict.signer[0] != '\0') {
            message_add_plain(room, verdict.signer);
            add(room, Text{" ", " "});
        }
        add(room, key_open);
        message_add_plain(room, verdict.fingerprint);
        add(room, key_close);
        add(room, reason);
    };
    const auto about = [&](const char* name, const Text& reason) {
        begin(room, signature_label);
        message_add_plain(room, name);
        add(room, reason);
    };
    switch (verdict.state) {
    case SignatureState::none:
        return;
    case SignatureState::good:
        begin(room, signed_label);
        message_add_plain(room, list);
        add(room, signed_by);
        message_add_plain(room, verdict.signer);
        add(room, key_open);
        message_add_plain(room, verdict.fingerprint);
        add(room, verdict.keyring == Keyring::trusted ? by_trusted
                  : verdict.keyring == Keyring::user  ? by_user
                                                      : by_system);
        message_show(room, Tone::match, after_report);
        if (verdict.bad_beside) {
            about(verdict.file, bad);
            message_show(room, Tone::conflict, after_report);
        }
        return;
    case SignatureState::revoked:
    case SignatureState::expired:
    case SignatureState::weak:
        key(verdict.state == SignatureState::revoked   ? revoked
            : verdict.state == SignatureState::expired ? expired
                                                       : weak);
        break;
    case SignatureState::missing:
        begin(room, signature_label);
        message_add_plain(room, verdict.file);
        add(room, colon);
        add(room, key_word);
        message_add_plain(room, verdict.fingerprint);
        add(room, missing);
        break;
    case SignatureState::scheme:
        about(verdict.file, Text{" (", " ("});
        message_add_plain(room, verdict.scheme);
        add(room, Text{")", ")"});
        add(room, scheme);
        break;
    default:
        // The rest name the signature's file, or the list, and a reason.
        for (const Reason& reason : reasons) {
            if (reason.state == verdict.state) {
                about(reason.names_list ? list : verdict.file, *reason.text);
            }
        }
        break;
    }
    message_show(room, Tone::conflict, after_report);
}

void signature_show(const char* path, const FolderList& list, const ChecksumTarget& target,
                    VerdictRoom& room, bool after_report)
{
    SignatureVerdict verdict{};
    signature_check(path, list, target, room, VerifySetup{}, verdict);
    signature_message(verdict, list.name, after_report, room.message);
}
