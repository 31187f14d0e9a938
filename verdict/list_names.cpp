// Which names are checksum lists: one rule by the words of a name, and
// which algorithm a name states.
#include "list_names.h"

#include <cstring>
#include <initializer_list>

#include "text.h"

namespace
{

// True when token[0..length-1] is one of `words` (lowercase), without case.
bool is_one_of(const char* token, std::size_t length, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (std::strlen(word) == length && starts_with(token, length, word)) {
            return true;
        }
    }
    return false;
}

// The start of name[0..length-1]'s extension (".iso": 1 to 5 letters and
// digits, a letter first), or length where it has none.
std::size_t extension(const char* name, std::size_t length)
{
    std::size_t dot = length;
    while (dot > 0 && is_alnum(name[dot - 1])) {
        --dot;
    }
    const bool has = dot > 1 && name[dot - 1] == '.' && length - dot >= 1 && length - dot <= 5
                     && !is_digit(name[dot]);
    return has ? dot : length;
}

} // namespace

ListName checksum_list_name(const char* name, std::size_t length, const ChecksumTarget& target)
{
    const ListName none{ListKind::none, false, false, false};
    char base[1024];
    if (length == 0 || length >= sizeof base) {
        return none;
    }
    // A browser's copy: "SHA256SUMS (1)", "sha256sums (2).txt", "x(1)".
    std::memcpy(base, name, length);
    std::size_t size = length;
    std::size_t mark = 0;
    std::size_t mark_end = 0;
    if (copy_mark(base, size, mark, mark_end)) {
        std::memmove(base + mark, base + mark_end, size - mark_end);
        size -= mark_end - mark;
    }
    // PGP armor: clear-signed text is a list, which its first line tells.
    const bool armored = ends_with(base, size, ".asc");
    size -= armored ? 4 : 0;
    if (size == target.name_length && same_name(base, target.name, size, target.rule)) {
        return none; // the file itself, or its signature
    }
    for (const char* signature : {".sig", ".gpg", ".sign", ".minisig", ".pem", ".crt", ".asc"}) {
        if (ends_with(base, size, signature)) {
            return none;
        }
    }
    // The words of the name: a list's word (sums, checksums, hashes, ...),
    // an algorithm's name alone or with one of them (SHA256SUMS, sha-256,
    // SHASUMS256), or a word that says the list describes something else.
    const char* bits = target.algorithm.bits;
    Stated stated = Stated::none;
    std::size_t first = size;
    std::size_t last_end = 0;
    bool describes_other = false;
    for (std::size_t at = 0; at < size;) {
        if (!is_alnum(base[at])) {
            ++at;
            continue;
        }
        std::size_t used = 0;
        const Stated which = algorithm_at(base + at, size - at, bits, used);
        const std::size_t end = at + (which != Stated::none ? used : 0);
        std::size_t token_end = end;
        while (token_end < size && is_alnum(base[token_end])) {
            ++token_end;
        }
        const auto words = {"sum",    "sums",    "checksum", "checksums",  "hash",  "hashes",
                            "digest", "digests", "manifest", "signatures", "latest"};
        const bool listed = which != Stated::none
                                ? end == token_end || is_one_of(base + end, token_end - end, words)
                                : is_one_of(base + at, token_end - at, words)
                                      || contains(base + at, token_end - at, "checksum");
        if (listed) {
            first = first < at ? first : at;
            last_end = token_end;
            stated = which == Stated::this_one || stated == Stated::this_one ? Stated::this_one
                     : which == Stated::other                                ? Stated::other
                                                                             : stated;
        } else if (is_one_of(base + at, token_end - at,
                             {"unsigned", "unverified", "old", "previous", "obsolete"})) {
            describes_other = true;
        }
        at = token_end;
    }
    if (first == size || stated == Stated::other) {
        return none; // no list's word, or another algorithm's list
    }
    // An extension after the words is one of text ("SHA256SUMS.txt").
    const std::size_t last = extension(base, size);
    if (last < size && last_end != size
        && !is_one_of(base + last, size - last,
                      {"txt", "json", "yml", "yaml", "md", "csv", "lst", "text", "log"})) {
        return none;
    }
    // The words after a name: the file's own list (NAME.sha256,
    // NAME-sha256.txt, NAME.DIGEST), or another file's (OTHER.sha256); after
    // a release's stem a list ("blender-4.1.1.sha256").
    ListKind kind = ListKind::list;
    std::size_t prefix = first;
    while (prefix > 0 && !is_alnum(base[prefix - 1]) && base[prefix - 1] != ')') {
        --prefix;
    }
    const std::size_t dot = extension(target.name, target.name_length);
    const std::size_t stem = dot < target.name_length ? dot - 1 : dot;
    if (prefix > 0) {
        const bool own = (prefix == target.name_length || prefix == stem)
                         && same_name(base, target.name, prefix, target.rule);
        // The file re-downloaded ("a (1).iso"): its list under its name.
        const bool copied = copy_mark(target.name, target.name_length, mark, mark_end)
                            && prefix == target.name_length - (mark_end - mark)
                            && same_name(base, target.name, mark, target.rule)
                            && same_name(base + mark, target.name + mark_end,
                                         target.name_length - mark_end, target.rule);
        if (own) {
            kind = ListKind::own;
        } else if (extension(base, prefix) < prefix && !copied) {
            return none;
        }
    }
    return ListName{kind, stated == Stated::this_one, describes_other, armored};
}
