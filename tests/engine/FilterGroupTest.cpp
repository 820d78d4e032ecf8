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

// Every voice of a group gets, bit for bit, what it gets alone (filterRun when its cutoff and
// resonance hold, filterRunMoving when either moves): every output kind and stage count, two to
// eight voices, cutoffs and resonances of their own, several runs on, runs that are not a
// multiple of four samples long, a voice whose input holds (stride 0), and runs in which some
// voices' cutoffs or resonances move and others' hold.
TEST(FilterGroup, EachVoiceAsItsRunAlone) {
    struct Run {
        int n;
        bool heldInput, movingCutoff, movingResonance;
    };
    const Run runs[] = {{64, false, false, false}, {17, false, true, false}, {3, false, false, false},
                        {64, true, false, false},  {31, false, false, true},  {130, false, true, true},
                        {64, true, true, false}};
    for (int type : {0, 3, 4, 7, 9, 14, 16, 19}) {
        for (int count = 2; count <= kMaxGroup; ++count) {
            std::vector<FilterState> grouped(static_cast<std::size_t>(count)), alone(grouped.size());
            int index = 0;
            for (const Run& run : runs) {
                ++index;
                const int n = run.n;
                std::vector<std::vector<Stereo>> x, fc, q, outGroup, outAlone;
                std::vector<FilterJob> jobs;
                for (int g = 0; g < count; ++g) {
                    x.push_back(input(g + index, n + 1));
                    // Every other voice moves when the run says so; the rest hold.
                    const bool moves = g % 2 == 0;
                    std::vector<Stereo> cutoff(static_cast<std::size_t>(n)), resonance(cutoff.size());
                    for (int i = 0; i < n; ++i) {
                        const float f = 300.0f + 450.0f * g + (run.movingCutoff && moves ? 37.0f * i : 0.0f);
                        cutoff[static_cast<std::size_t>(i)] = both(f);
                        resonance[static_cast<std::size_t>(i)] = both(0.1f * g + (run.movingResonance && moves ? 0.003f * i : 0.0f));
                    }
                    fc.push_back(cutoff);
                    q.push_back(resonance);
                    outGroup.emplace_back(static_cast<std::size_t>(n));
                    outAlone.emplace_back(static_cast<std::size_t>(n));
                }
                for (int g = 0; g < count; ++g) {
                    const auto v = static_cast<std::size_t>(g);
                    const bool moves = g % 2 == 0;
                    const int xStride = run.heldInput && g == count - 1 ? 0 : 1;
                    const int fcStride = run.movingCutoff && moves ? 1 : 0;
                    const int qStride = run.movingResonance && moves ? 1 : 0;
                    const Stereo kind = both(static_cast<float>(type));
                    jobs.push_back({&grouped[v], kind, x[v].data() + 1, xStride, fc[v].data(), fcStride, q[v].data(),
                                    qStride, outGroup[v].data()});
                    if (fcStride == 0 && qStride == 0)
                        filterRun(alone[v], kind, x[v].data() + 1, xStride, fc[v][0], q[v][0], 44100.0f, outAlone[v].data(), n);
                    else
                        filterRunMoving(alone[v], kind, x[v].data() + 1, xStride, fc[v].data(), fcStride, q[v].data(),
                                        qStride, 44100.0f, outAlone[v].data(), n);
                }
                ASSERT_TRUE(filterRunGroup(jobs.data(), count, 44100.0f, n)) << type << " x" << count;
                for (int g = 0; g < count; ++g) {
                    const std::size_t v = static_cast<std::size_t>(g);
                    ASSERT_EQ(std::memcmp(outGroup[v].data(), outAlone[v].data(), sizeof(Stereo) * static_cast<std::size_t>(n)), 0)
                        << "type " << type << ", " << count << " voices, voice " << g << ", run " << index;
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
        int cutoffStride = 0;
    } cases[] = {
        {"types differ", 4.0f, &plain, both(1000.0f), 2},
        {"channels differ", 0.0f, &stereo, both(1000.0f), 2},
        {"cutoffs differ by channel", 0.0f, &plain, {1000.0f, 1001.0f}, 2},
        {"one-pole filters", -1.0f, &plain, both(1000.0f), 2},
        {"one voice", 0.0f, &plain, both(1000.0f), 1},
        {"moving cutoffs that differ by channel", 0.0f, &plain, {1000.0f, 1001.0f}, 2, 1},
    };
    for (const auto& c : cases) {
        FilterState first, second;
        first.stages[0].band[0] = first.stages[0].band[1] = 0.125f;  // a state that must not move
        const FilterState before = first;
        const float firstType = c.secondType < 0.0f ? -1.0f : 0.0f;
        const Stereo cutoff = both(1000.0f), resonance = both(0.5f);
        const std::vector<Stereo> secondCutoffs(static_cast<std::size_t>(n), c.secondCutoff);
        const FilterJob jobs[2] = {
            {&first, both(firstType), plain.data(), 1, &cutoff, 0, &resonance, 0, out.data()},
            {&second, both(c.secondType), c.secondInput->data(), 1, c.cutoffStride == 0 ? &c.secondCutoff : secondCutoffs.data(),
             c.cutoffStride, &resonance, 0, out.data()}};
        EXPECT_FALSE(filterRunGroup(jobs, c.count, 44100.0f, n)) << c.name;
        EXPECT_TRUE(sameState(first, before)) << c.name;
    }
}

}  // namespace
}  // namespace tess::filt
