#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/filters/Filter.h"

namespace tess::filt {
namespace {

bool sameState(const FilterState& a, const FilterState& b) {
    for (int s = 0; s < kMaxStages; ++s)
        for (int c = 0; c < 2; ++c)
            if (std::bit_cast<std::uint32_t>(a.stages[s].band[c]) != std::bit_cast<std::uint32_t>(b.stages[s].band[c]) ||
                std::bit_cast<std::uint32_t>(a.stages[s].low[c]) != std::bit_cast<std::uint32_t>(b.stages[s].low[c]))
                return false;
    return true;
}

// A different input per voice, the same on both channels.
std::vector<Stereo> input(int voice, int n) {
    std::vector<Stereo> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = both(std::sin(0.05f * (voice + 1) * i) + (i % 7 == 0 ? 0.5f : 0.0f));
    return x;
}

// Every voice of a group gets, bit for bit, what filterRun gives it alone: every output kind and
// stage count, two to eight voices, cutoffs and resonances of their own, several runs on, runs
// that are not a multiple of four samples long and a voice whose input holds (stride 0).
TEST(FilterGroup, EachVoiceAsFilterRunAlone) {
    for (int type : {0, 3, 4, 7, 9, 14, 16, 19}) {
        for (int count = 2; count <= kMaxGroup; ++count) {
            std::vector<FilterState> grouped(static_cast<std::size_t>(count)), alone(grouped.size());
            for (int run = 0; run < 5; ++run) {
                const int lengths[] = {64, 17, 3, 64, 31};
                const int n = lengths[run];
                const int heldVoice = run == 3 ? count - 1 : -1;
                std::vector<std::vector<Stereo>> x, outGroup, outAlone;
                std::vector<FilterJob> jobs;
                for (int g = 0; g < count; ++g) {
                    x.push_back(input(g + run, n + 1));
                    outGroup.emplace_back(static_cast<std::size_t>(n));
                    outAlone.emplace_back(static_cast<std::size_t>(n));
                }
                for (int g = 0; g < count; ++g) {
                    const Stereo fc = both(300.0f + 450.0f * g), q = both(0.1f * g);
                    const int stride = g == heldVoice ? 0 : 1;
                    jobs.push_back({&grouped[static_cast<std::size_t>(g)], both(static_cast<float>(type)),
                                    x[static_cast<std::size_t>(g)].data() + 1, stride, fc, q, outGroup[static_cast<std::size_t>(g)].data()});
                    filterRun(alone[static_cast<std::size_t>(g)], both(static_cast<float>(type)), x[static_cast<std::size_t>(g)].data() + 1,
                              stride, fc, q, 44100.0f, outAlone[static_cast<std::size_t>(g)].data(), n);
                }
                ASSERT_TRUE(filterRunGroup(jobs.data(), count, 44100.0f, n)) << type << " x" << count;
                for (int g = 0; g < count; ++g) {
                    const std::size_t v = static_cast<std::size_t>(g);
                    ASSERT_EQ(std::memcmp(outGroup[v].data(), outAlone[v].data(), sizeof(Stereo) * static_cast<std::size_t>(n)), 0)
                        << "type " << type << ", " << count << " voices, voice " << g << ", run " << run;
                    ASSERT_TRUE(sameState(grouped[v], alone[v])) << "type " << type << ", voice " << g;
                }
            }
        }
    }
}

// What a vector cannot take is refused before any integrator moves.
TEST(FilterGroup, RefusesWhatOneVectorCannotTake) {
    const int n = 32;
    const std::vector<Stereo> plain = input(0, n);
    std::vector<Stereo> stereo = plain;
    stereo[5].r += 0.25f;
    std::vector<Stereo> out(static_cast<std::size_t>(n));
    const struct {
        const char* name;
        float secondType;
        const std::vector<Stereo>* secondInput;
        Stereo secondCutoff;
        int count;
    } cases[] = {
        {"types differ", 4.0f, &plain, both(1000.0f), 2},
        {"channels differ", 0.0f, &stereo, both(1000.0f), 2},
        {"cutoffs differ by channel", 0.0f, &plain, {1000.0f, 1001.0f}, 2},
        {"one-pole filters", -1.0f, &plain, both(1000.0f), 2},
        {"one voice", 0.0f, &plain, both(1000.0f), 1},
    };
    for (const auto& c : cases) {
        FilterState first, second;
        first.stages[0].band[0] = first.stages[0].band[1] = 0.125f;  // a state that must not move
        const FilterState before = first;
        const float firstType = c.secondType < 0.0f ? -1.0f : 0.0f;
        const FilterJob jobs[2] = {{&first, both(firstType), plain.data(), 1, both(1000.0f), both(0.5f), out.data()},
                                   {&second, both(c.secondType), c.secondInput->data(), 1, c.secondCutoff, both(0.5f),
                                    out.data()}};
        EXPECT_FALSE(filterRunGroup(jobs, c.count, 44100.0f, n)) << c.name;
        EXPECT_TRUE(sameState(first, before)) << c.name;
    }
}

}  // namespace
}  // namespace tess::filt
