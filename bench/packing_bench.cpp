// Greedy against optimal packing: stream sizes over a corpus of generated levels, printed
// before the timings, and the time each takes for a 64 KiB level.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "demo_levels.h"
#include "demo_map.h"
#include "encoder/optimal_encoder.h"
#include "encoder/stream_encoder.h"
#include "format/map_header.h"

namespace {

using tessary::MapHeader;
using tessary::OptimalEncoder;
using tessary::StreamEncoder;

constexpr uint32_t kSeedsPerLevel = 10;

struct Level {
    std::string name;
    std::vector<uint8_t> map;
    MapHeader header;
};

std::vector<Level> Corpus() {
    std::vector<Level> corpus;
    for (const DemoLevel& level : kDemoLevels) {
        for (uint32_t seed = 1; seed <= kSeedsPerLevel; ++seed) {
            std::vector<uint8_t> map = MakeDemoMap(level, seed);
            const MapHeader header = ChooseHeader(map);
            corpus.push_back({std::string(level.name) + " #" + std::to_string(seed), map, header});
        }
    }
    return corpus;
}

template <typename Encoder>
size_t PackedSize(const std::vector<uint8_t>& map, const MapHeader& header) {
    std::vector<uint8_t> out;
    return Encoder(out, map.data(), static_cast<int32_t>(map.size()), header).encode();
}

const Level& SixtyFourKiBLevel() {
    static const Level level = [] {
        const DemoLevel& fortress = kDemoLevels[5];
        std::vector<uint8_t> map = MakeDemoMap(fortress, 1);
        const MapHeader header = ChooseHeader(map);
        return Level{fortress.name, map, header};
    }();
    return level;
}

struct Sizes {
    size_t greedy = 0;
    size_t optimal = 0;
    double medianSaving = 0;  // percent of the greedy stream
};

Sizes MeasureCorpus(const std::vector<Level>& corpus, bool print) {
    Sizes sizes;
    std::vector<double> savings;
    if (print) {
        std::printf("%-22s %8s %8s %8s %7s\n", "level", "bytes", "greedy", "optimal", "saving");
    }
    for (const Level& level : corpus) {
        const size_t greedy = PackedSize<StreamEncoder>(level.map, level.header);
        const size_t optimal = PackedSize<OptimalEncoder>(level.map, level.header);
        const double saving = 100.0 * (1.0 - double(optimal) / double(greedy));
        savings.push_back(saving);
        sizes.greedy += greedy;
        sizes.optimal += optimal;
        if (print) {
            std::printf("%-22s %8zu %8zu %8zu %6.1f%%\n", level.name.c_str(), level.map.size(),
                        greedy, optimal, saving);
        }
    }
    std::sort(savings.begin(), savings.end());
    const size_t middle = savings.size() / 2;
    sizes.medianSaving =
        savings.size() % 2 == 1 ? savings[middle] : (savings[middle - 1] + savings[middle]) / 2;
    if (print) {
        std::printf(
            "%zu levels: greedy %zu bytes, optimal %zu bytes (%.1f%% smaller); "
            "median saving %.1f%%\n\n",
            corpus.size(), sizes.greedy, sizes.optimal,
            100.0 * (1.0 - double(sizes.optimal) / double(sizes.greedy)), sizes.medianSaving);
    }
    return sizes;
}

template <typename Encoder>
void EncodeSixtyFourKiB(benchmark::State& state) {
    const Level& level = SixtyFourKiBLevel();
    size_t size = 0;
    for (auto _ : state) {
        size = PackedSize<Encoder>(level.map, level.header);
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(level.map.size()));
    state.counters["input_bytes"] = static_cast<double>(level.map.size());
    state.counters["stream_bytes"] = static_cast<double>(size);
}

void GreedyEncode64KiB(benchmark::State& state) {
    EncodeSixtyFourKiB<StreamEncoder>(state);
}
void OptimalEncode64KiB(benchmark::State& state) {
    EncodeSixtyFourKiB<OptimalEncoder>(state);
}
BENCHMARK(GreedyEncode64KiB)->Unit(benchmark::kMillisecond);
BENCHMARK(OptimalEncode64KiB)->Unit(benchmark::kMillisecond);

// Both encoders over the whole corpus, with the sizes as counters.
void PackCorpus(benchmark::State& state) {
    static const std::vector<Level> corpus = Corpus();
    Sizes sizes;
    for (auto _ : state) {
        sizes = MeasureCorpus(corpus, false);
    }
    state.counters["levels"] = static_cast<double>(corpus.size());
    state.counters["greedy_bytes"] = static_cast<double>(sizes.greedy);
    state.counters["optimal_bytes"] = static_cast<double>(sizes.optimal);
    state.counters["median_saving_pct"] = sizes.medianSaving;
}
BENCHMARK(PackCorpus)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    MeasureCorpus(Corpus(), true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
