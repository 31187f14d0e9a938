// The verdict's lookup in a crowded Downloads folder: 10,000 files and 50
// checksum lists beside the file, each list of 200 entries, one of which
// names the file; and beside 64 lists of 16 MiB. Not a test:
// build/tests/tests/bench_verdict
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "support.h"
#include "verdict.h"

namespace
{

const std::string digest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

void Lookup(benchmark::State& state)
{
    const TempDir dir;
    for (int i = 0; i < 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "download-%05d.bin", i);
        dir.write(name, {});
    }
    std::string list;
    for (int i = 0; i < 200; ++i) {
        list += digest.substr(0, 60) + std::to_string(1000 + i) + "  release/other-"
                + std::to_string(i) + ".tar.gz\n";
    }
    list += digest + "  download-00042.bin\n";
    for (int i = 0; i < 50; ++i) {
        dir.write(i == 0 ? "SHA256SUMS" : "sha256sums (" + std::to_string(i) + ").txt",
                  {list.begin(), list.end()});
    }
    const std::string path = dir.path + "/download-00042.bin";
    const ChecksumTarget target{
        algorithm_sha256, digest.c_str(), "download-00042.bin", 18, nullptr, 0, NameRule::exact};
    static VerdictRoom room;
    for (auto _ : state) {
        benchmark::DoNotOptimize(verdict_lookup(path.c_str(), target, room, verdict_limits));
        if (!room.tally.matched) {
            state.SkipWithError("no match");
        }
    }
}
BENCHMARK(Lookup)->Unit(benchmark::kMillisecond);

// 64 list-named files of 16 MiB each (hard links to one file of checksum
// lines), none naming the file: the lookup stops at its byte budget.
void LargeLists(benchmark::State& state)
{
    const TempDir dir;
    dir.write("file.iso", {});
    std::string line = digest + "  release/other.tar.gz\n";
    std::vector<unsigned char> list;
    while (list.size() + line.size() <= (std::size_t{16} << 20)) {
        list.insert(list.end(), line.begin(), line.end());
    }
    list.resize(std::size_t{16} << 20, '\n');
    const std::string first = dir.write("SHA256SUMS", list);
    for (int i = 1; i < 64; ++i) {
        const std::string name = dir.path + "/SHA256SUMS (" + std::to_string(i) + ")";
        if (link(first.c_str(), name.c_str()) != 0) {
            state.SkipWithError("link");
            return;
        }
    }
    const std::string path = dir.path + "/file.iso";
    const ChecksumTarget target{algorithm_sha256, digest.c_str(), "file.iso", 8, nullptr, 0,
                                NameRule::exact};
    static VerdictRoom room;
    for (auto _ : state) {
        benchmark::DoNotOptimize(verdict_lookup(path.c_str(), target, room, verdict_limits));
        if (!room.gaps.budget && !room.gaps.time) {
            state.SkipWithError("not stopped");
        }
    }
    state.counters["stopped_by_time"] = room.gaps.time ? 1 : 0;
}
BENCHMARK(LargeLists)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
