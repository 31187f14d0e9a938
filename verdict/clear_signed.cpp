// A clear-signed list: its signed text's entries read, and its form
// checked as the package manager checks it.
#include "signature.h"

#include <cstring>

namespace
{

// The armor's lines around a clear-signed text and its signature.
constexpr const char* signed_message = "-----BEGIN PGP SIGNED MESSAGE-----";
constexpr const char* signature_begin = "-----BEGIN PGP SIGNATURE-----";
constexpr const char* signature_end = "-----END PGP SIGNATURE-----";

} // namespace

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
