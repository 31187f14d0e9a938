// The list's signature: found beside it or in it, checked by gpgv through
// the seam, its status lines read, and what it comes to said in one line.
#include "signature.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
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
// " の日付は未来です。署名は数えません [dated in the future; not counted]"
constexpr Text future{" \x82\xCC\x93\xFA\x95t\x82\xCD\x96\xA2\x97\x88\x82\xC5\x82\xB7\x81\x42"
                      "\x8F\x90\x96\xBC\x82\xCD\x90\x94\x82\xA6\x82\xDC\x82\xB9\x82\xF1 "
                      "[dated\x01in\x01the\x01\x66uture;\x01not\x01\x63ounted]",
                      " の日付は未来です。署名は数えません [dated\x01in\x01the\x01\x66uture;"
                      "\x01not\x01\x63ounted]"};
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

bool starts_with(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The first bytes of a signature file, to tell what it is.
struct Head {
    unsigned char bytes[64];
    std::size_t count;
};

bool keep_head(void* context, const unsigned char* bytes, std::size_t count)
{
    Head& head = *static_cast<Head*>(context);
    const std::size_t take =
        count < sizeof head.bytes - head.count ? count : sizeof head.bytes - head.count;
    std::memcpy(head.bytes + head.count, bytes, take);
    head.count += take;
    return head.count < sizeof head.bytes; // the rest is not needed
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
    return (head.bytes[0] & 0x80U) != 0 || starts_with(start, "-----BEGIN PGP SIGNATURE-----")
               ? Detached::openpgp
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

bool feed_clear_signed(void* context, const unsigned char* bytes, std::size_t count)
{
    clear_signed_feed(*static_cast<ClearSigned*>(context), bytes, count);
    return true;
}

// Runs gpgv with each keyring in turn, until one vouches for a good
// signature, and says what their status lines come to.
void run_gpgv(const char* path, const char* list, const char* signature, VerdictRoom& room,
              const VerifySetup& setup, SignatureVerdict& verdict)
{
    SignatureStatus status{};
    status.now = static_cast<std::int64_t>(std::time(nullptr));
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
        {Finding::weak, SignatureState::weak},       {Finding::future, SignatureState::future},
        {Finding::missing, SignatureState::missing}};
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

void signature_check(const char* path, const FolderList& list, const ChecksumTarget& target,
                     const ChecksumTally& decided, VerdictRoom& room, const VerifySetup& setup,
                     SignatureVerdict& verdict)
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
        if (!covered(room.scan.tally, decided)) {
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
    case SignatureState::future:
        key(verdict.state == SignatureState::revoked   ? revoked
            : verdict.state == SignatureState::expired ? expired
            : verdict.state == SignatureState::weak    ? weak
                                                       : future);
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

void signature_check_matching(const char* path, const FolderList* lists,
                              const ChecksumTarget& target, VerdictRoom& room,
                              const VerifySetup& setup, SignatureVerdict& verdict,
                              std::size_t& chosen)
{
    const ChecksumTally& tally = room.tally;
    chosen = tally.match_list;
    signature_check(path, lists[chosen], target, tally, room, setup, verdict);
    for (std::size_t i = 0; i < tally.match_count && verdict.state != SignatureState::good; ++i) {
        if (tally.match_lists[i] == tally.match_list) {
            continue;
        }
        SignatureVerdict other{};
        signature_check(path, lists[tally.match_lists[i]], target, tally, room, setup, other);
        if (other.state == SignatureState::good) {
            verdict = other;
            chosen = tally.match_lists[i];
        }
    }
}

void signature_show(const char* path, const FolderList& list, const ChecksumTarget& target,
                    const ChecksumTally& decided, VerdictRoom& room, bool after_report)
{
    SignatureVerdict verdict{};
    signature_check(path, list, target, decided, room, VerifySetup{}, verdict);
    signature_message(verdict, list.name, after_report, room.message);
}

void signature_show_matching(const char* path, const FolderList* lists,
                             const ChecksumTarget& target, VerdictRoom& room, bool after_report)
{
    SignatureVerdict verdict{};
    std::size_t chosen = 0;
    signature_check_matching(path, lists, target, room, VerifySetup{}, verdict, chosen);
    signature_message(verdict, lists[chosen].name, after_report, room.message);
}
