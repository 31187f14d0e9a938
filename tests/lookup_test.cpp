// The lookup's limits and the facts of a list that keep a difference from
// being proof: its time against the file's, and a name that describes
// something else.
#include <gtest/gtest.h>

#include <string>

#include "checksum_digests.h"
#include "support.h"
#include "verdict.h"

namespace
{

VerdictRoom room;

std::vector<unsigned char> bytes_of(const std::string& text)
{
    return {text.begin(), text.end()};
}

} // namespace

// The lookup stops at its byte budget or its time, says so, and a list
// left unread keeps any difference from being proof.
TEST(Lookup, StopsAtItsLimitsAndSaysSo)
{
    const TempDir dir;
    dir.write("a.iso", {});
    dir.write("SHA256SUMS", bytes_of(other + "  a.iso\n" + std::string(100, '\n')));
    const std::string path = dir.path + "/a.iso";
    const ChecksumTarget target{algorithm_sha256, d256.c_str(), "a.iso", 5, nullptr, 0,
                                NameRule::exact};
    verdict_lookup(path.c_str(), target, room, verdict_limits);
    EXPECT_TRUE(room.tally.proof);
    EXPECT_EQ(verdict_lookup_doubt(room).doubt, Doubt::none);

    verdict_lookup(path.c_str(), target, room, LookupLimits{40, 1000});
    EXPECT_TRUE(room.gaps.budget);
    EXPECT_EQ(verdict_lookup_doubt(room).doubt, Doubt::budget);
    verdict_lookup(path.c_str(), target, room, LookupLimits{std::uint64_t{1} << 20, 0});
    EXPECT_TRUE(room.gaps.time);
    EXPECT_EQ(verdict_lookup_doubt(room).doubt, Doubt::time_limit);
}

// A list more than 12 hours from the file either way, or one whose name
// says it describes something else, proves nothing.
TEST(Lookup, ListFactsThatAreNoProof)
{
    constexpr std::int64_t hour = std::int64_t{36000000000};
    EXPECT_EQ(checksum_time_doubt(0, 12 * hour).doubt, Doubt::none);
    EXPECT_EQ(checksum_time_doubt(12 * hour, 0).doubt, Doubt::none);
    const Why older = checksum_time_doubt(0, 12 * hour + 1);
    EXPECT_EQ(older.doubt, Doubt::older);
    EXPECT_EQ(older.days, 1);
    const Why newer = checksum_time_doubt(90 * 24 * hour, 0);
    EXPECT_EQ(newer.doubt, Doubt::newer);
    EXPECT_EQ(newer.days, 90);

    ChecksumTally one{};
    checksum_tally_clear(one);
    const ChecksumTarget target{algorithm_sha256, d256.c_str(), "a.iso", 5, nullptr, 0,
                                NameRule::exact};
    checksum_tally_add(one, target, Entry{rank_name, true, true, other.c_str(), "a.iso", 5});
    ASSERT_TRUE(one.proof);
    ChecksumTally total{};
    checksum_tally_clear(total);
    checksum_tally_merge(total, one, ListFacts{true, {Doubt::none, 0}, true}, 0);
    EXPECT_FALSE(total.proof);
    EXPECT_EQ(total.why.doubt, Doubt::other_thing);
    // Not read by an exact form, or with no algorithm stated: no proof.
    checksum_tally_clear(one);
    checksum_tally_add(one, target, Entry{rank_name, true, false, other.c_str(), "a.iso", 5});
    EXPECT_FALSE(one.proof);
    EXPECT_EQ(one.why.doubt, Doubt::not_exact);
}
