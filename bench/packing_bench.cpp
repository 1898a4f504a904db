// Packing speed side by side: the greedy encoder, the optimal encoder, the decoder and the
// plain reference encoder of the tests on the same in-memory inputs, so that every speed-up
// is a ratio measured in one run. Before the timings, the stream sizes of both encoders over
// a corpus of generated levels, and a check that the greedy streams of every input here are
// byte for byte the reference's.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "decoder/stream_decoder.h"
#include "demo_levels.h"
#include "demo_map.h"
#include "encoder/optimal_encoder.h"
#include "encoder/stream_encoder.h"
#include "format/map_header.h"
#include "input_generators.h"
#include "reference_encoder.h"

namespace {

using tessary::MapHeader;
using tessary::OptimalEncoder;
using tessary::StreamEncoder;

constexpr uint32_t kSeedsPerLevel = 10;
constexpr size_t kKiB = 1024;

struct Level {
    std::string name;
    std::vector<uint8_t> map;
    MapHeader header;
};

template <typename Encoder>
std::vector<uint8_t> Encode(const std::vector<uint8_t>& map, const MapHeader& header) {
    std::vector<uint8_t> out;
    Encoder(out, map.data(), static_cast<int32_t>(map.size()), header).encode();
    return out;
}

// ---- Stream sizes over the demo corpus

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

void PrintCorpusSizes() {
    std::vector<double> savings;
    size_t greedyTotal = 0;
    size_t optimalTotal = 0;
    std::printf("%-22s %8s %8s %8s %7s\n", "level", "bytes", "greedy", "optimal", "saving");
    for (const Level& level : Corpus()) {
        const size_t greedy = Encode<StreamEncoder>(level.map, level.header).size();
        const size_t optimal = Encode<OptimalEncoder>(level.map, level.header).size();
        const double saving = 100.0 * (1.0 - double(optimal) / double(greedy));
        savings.push_back(saving);
        greedyTotal += greedy;
        optimalTotal += optimal;
        std::printf("%-22s %8zu %8zu %8zu %6.1f%%\n", level.name.c_str(), level.map.size(), greedy,
                    optimal, saving);
    }
    std::sort(savings.begin(), savings.end());
    const size_t middle = savings.size() / 2;
    const double median =
        savings.size() % 2 == 1 ? savings[middle] : (savings[middle - 1] + savings[middle]) / 2;
    std::printf(
        "%zu levels: greedy %zu bytes, optimal %zu bytes (%.1f%% smaller); "
        "median saving %.1f%%\n\n",
        savings.size(), greedyTotal, optimalTotal,
        100.0 * (1.0 - double(optimalTotal) / double(greedyTotal)), median);
}

// ---- Timed inputs

Level MapLike(bool vertical, size_t bytes) {
    // 16 cells of 2 bytes across the fixed side.
    const DemoLevel shape{"", 0, vertical, 16, static_cast<int32_t>(bytes / 32)};
    std::vector<uint8_t> map = MakeDemoMap(shape, 1);
    const MapHeader header = ChooseHeader(map);
    return {std::string(vertical ? "map_v_" : "map_h_") + std::to_string(bytes / kKiB) + "KiB", map,
            header};
}

Level Made(const std::string& name, std::vector<uint8_t> bytes) {
    const MapHeader header = ChooseHeader(bytes);
    return {name, std::move(bytes), header};
}

std::vector<Level> TimedInputs() {
    std::vector<Level> inputs;
    for (bool vertical : {false, true}) {
        for (size_t kib : {8, 16, 32, 64}) {
            inputs.push_back(MapLike(vertical, kib * kKiB));
        }
    }
    const size_t size = 64 * kKiB;
    inputs.push_back(Made("shared_16_64KiB", SharedPrefixes(size, 16)));
    inputs.push_back(Made("shared_7_64KiB", SharedPrefixes(size, 7)));
    inputs.push_back(Made("periodic_2x18_64KiB", PeriodicStretches(size, 2, 18)));
    inputs.push_back(Made("periodic_3x20_64KiB", PeriodicStretches(size, 3, 20)));
    Random random(12);
    inputs.push_back(Made("random_64KiB", RandomBytes(random, size)));
    return inputs;
}

void Count(benchmark::State& state, const Level& level, size_t streamBytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(level.map.size()));
    state.counters["stream_bytes"] = static_cast<double>(streamBytes);
}

template <typename Encoder>
void EncodeBench(benchmark::State& state, const Level* level) {
    size_t size = 0;
    for (auto _ : state) {
        std::vector<uint8_t> out;
        size =
            Encoder(out, level->map.data(), static_cast<int32_t>(level->map.size()), level->header)
                .encode();
        benchmark::DoNotOptimize(out.data());
    }
    Count(state, *level, size);
}

void ReferenceBench(benchmark::State& state, const Level* level) {
    size_t size = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> out = ReferenceEncode(level->map, level->header);
        benchmark::DoNotOptimize(out.data());
        size = out.size();
    }
    Count(state, *level, size);
}

void DecodeBench(benchmark::State& state, const Level* level) {
    const std::vector<uint8_t> stream = Encode<StreamEncoder>(level->map, level->header);
    std::vector<uint8_t> output(tessary::kDecodeCapacity);
    for (auto _ : state) {
        const tessary::DecodeResult result = tessary::DecodePackedStream(
            stream.data(), stream.size(), level->header, output.data(), tessary::kDecodeCapacity);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
    Count(state, *level, stream.size());
}

// False, with a message, when the greedy encoder's stream of an input differs from the
// reference's or does not decode back.
bool GreedyMatchesReference(const std::vector<Level>& inputs) {
    bool same = true;
    for (const Level& level : inputs) {
        const std::vector<uint8_t> greedy = Encode<StreamEncoder>(level.map, level.header);
        if (greedy != ReferenceEncode(level.map, level.header) ||
            !tessary::StreamDecodesTo(greedy.data(), greedy.size(), level.header, level.map.data(),
                                      level.map.size())) {
            std::fprintf(stderr, "%s: the greedy stream is not the reference's\n",
                         level.name.c_str());
            same = false;
        }
    }
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    static const std::vector<Level> inputs = TimedInputs();
    if (!GreedyMatchesReference(inputs)) {
        return 1;
    }
    PrintCorpusSizes();
    for (const Level& level : inputs) {
        const Level* input = &level;
        benchmark::RegisterBenchmark(("greedy/" + level.name).c_str(), EncodeBench<StreamEncoder>,
                                     input)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("reference/" + level.name).c_str(), ReferenceBench, input)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("optimal/" + level.name).c_str(), EncodeBench<OptimalEncoder>,
                                     input)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("decode/" + level.name).c_str(), DecodeBench, input)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
