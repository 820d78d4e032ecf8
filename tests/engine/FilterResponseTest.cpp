// FILT measured as a listener would: sines of known frequency through the filter, levels in dB
// once the filter has settled, and impulse responses for ringing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/filters/Filter.h"

namespace tess::filt {
namespace {

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.14159265358979;

struct Settings {
    float type;
    Stereo fc;
    Stereo q;
};

// Level in dB of a sine at `hz` after the filter, relative to the input, per channel.
Stereo gainDb(const Settings& s, float hz) {
    FilterState state;
    const int settle = 8192, measure = 8192;
    double in = 0.0, left = 0.0, right = 0.0;
    for (int i = 0; i < settle + measure; ++i) {
        const float x = static_cast<float>(std::sin(2.0 * kPi * hz * i / kRate));
        const Stereo y = filter(state, both(s.type), both(x), s.fc, s.q, kRate);
        if (i < settle) continue;
        in += double(x) * x;
        left += double(y.l) * y.l;
        right += double(y.r) * y.r;
    }
    return {static_cast<float>(10.0 * std::log10(left / in)), static_cast<float>(10.0 * std::log10(right / in))};
}

float gainDb(float type, float hz, float fc = 1000.0f, float q = 0.0f) {
    return gainDb(Settings{type, both(fc), both(q)}, hz).l;
}

std::vector<float> impulseResponse(float type, float fc, float q, int length) {
    FilterState state;
    std::vector<float> out;
    for (int i = 0; i < length; ++i)
        out.push_back(filter(state, both(type), both(i == 0 ? 1.0f : 0.0f), both(fc), both(q), kRate).l);
    return out;
}

float peakOf(const std::vector<float>& v, std::size_t from, std::size_t to) {
    float p = 0.0f;
    for (std::size_t i = from; i < to && i < v.size(); ++i) p = std::max(p, std::fabs(v[i]));
    return p;
}

TEST(FilterResponse, LowPassStagesFallTwelveDecibelsPerOctaveEach) {
    for (int stages = 1; stages <= 4; ++stages) {
        const float type = static_cast<float>(stages - 1);
        SCOPED_TRACE(stages);
        EXPECT_GT(gainDb(type, 125.0f), -1.5f);                        // pass band
        EXPECT_NEAR(gainDb(type, 1000.0f), -6.0f * stages, 0.5f);      // q = 0: -6 dB per stage at fc
        EXPECT_NEAR(gainDb(type, 4000.0f) - gainDb(type, 8000.0f), 12.0f * stages, 0.6f * stages);
        EXPECT_LT(gainDb(type, 4000.0f), -23.0f * stages);             // two octaves above fc
    }
}

TEST(FilterResponse, HighPassStagesFallTwelveDecibelsPerOctaveEachBelowTheCutoff) {
    for (int stages = 1; stages <= 4; ++stages) {
        const float type = static_cast<float>(4 + stages - 1);
        SCOPED_TRACE(stages);
        EXPECT_NEAR(gainDb(type, 4000.0f), 0.0f, 0.3f);
        EXPECT_NEAR(gainDb(type, 1000.0f), -6.0f * stages, 0.5f);
        EXPECT_LT(gainDb(type, 250.0f), -23.0f * stages);  // two octaves below fc
        // Four stages reach the single-precision floor (about -143 dB) at 125 Hz.
        if (stages < 4) {
            EXPECT_NEAR(gainDb(type, 250.0f) - gainDb(type, 125.0f), 12.0f * stages, 0.6f * stages);
        }
    }
}

TEST(FilterResponse, BandPassPeaksAtTheCutoff) {
    for (int stages = 1; stages <= 4; ++stages) {
        const float type = static_cast<float>(8 + stages - 1);
        SCOPED_TRACE(stages);
        // A sweep in twelfths of an octave from 250 Hz to 4 kHz.
        float best = -1000.0f, bestHz = 0.0f;
        for (int step = 0; step <= 48; ++step) {
            const float hz = 250.0f * std::pow(2.0f, step / 12.0f);
            const float g = gainDb(type, hz, 1000.0f, 0.5f);
            if (g > best) best = g, bestHz = hz;
        }
        EXPECT_NEAR(bestHz, 1000.0f, 1.0f);
        EXPECT_LT(gainDb(type, 250.0f, 1000.0f, 0.5f), best - 10.0f * stages);
        EXPECT_LT(gainDb(type, 4000.0f, 1000.0f, 0.5f), best - 10.0f * stages);
    }
}

TEST(FilterResponse, NotchRemovesTheCutoffAndPassesTheRest) {
    for (int stages = 1; stages <= 4; ++stages) {
        const float type = static_cast<float>(12 + stages - 1);
        SCOPED_TRACE(stages);
        EXPECT_LT(gainDb(type, 1000.0f), -50.0f);
        EXPECT_GT(gainDb(type, 62.5f), -1.0f);
        EXPECT_NEAR(gainDb(type, 8000.0f), 0.0f, 2.0f);
    }
}

TEST(FilterResponse, OnePoleTypesAreLowAndHighPass) {
    const struct {
        float type;
        float hz;
        float low, high;  // expected dB range
    } cases[] = {
        {-1.0f, 125.0f, -0.2f, 0.0f},  {-1.0f, 1000.0f, -3.2f, -2.8f}, {-1.0f, 8000.0f, -30.0f, -15.0f},
        {-2.0f, 125.0f, -30.0f, -15.0f}, {-2.0f, 8000.0f, -1.0f, 0.0f}, {-7.0f, 125.0f, -30.0f, -15.0f},
    };
    for (const auto& c : cases) {
        const float g = gainDb(c.type, c.hz);
        EXPECT_GE(g, c.low) << c.type << " at " << c.hz;
        EXPECT_LE(g, c.high) << c.type << " at " << c.hz;
    }
}

TEST(FilterResponse, ResonanceNearOneRingsAtTheCutoffWithoutBlowingUp) {
    // q = 0.99 rings at fc and dies away.
    const std::vector<float> ring = impulseResponse(0.0f, 1000.0f, 0.99f, 44100);
    int crossings = 0;
    for (std::size_t i = 1; i < 22050; ++i) crossings += ring[i - 1] < 0.0f && ring[i] >= 0.0f;
    EXPECT_NEAR(crossings / 0.5, 1000.0, 10.0);
    EXPECT_LT(peakOf(ring, 0, ring.size()), 1.0f);
    EXPECT_LT(peakOf(ring, 40000, 44100), peakOf(ring, 0, 4000) * 0.01f);
    EXPECT_GT(gainDb(0.0f, 1000.0f, 1000.0f, 0.99f), 30.0f);

    // q = 1 self-oscillates at a steady level, and q above it is held at that limit instead of
    // growing until the values overflow.
    for (float q : {1.0f, 1.5f, 4.0f}) {
        const std::vector<float> sustained = impulseResponse(0.0f, 1000.0f, q, 441000);
        const float first = peakOf(sustained, 0, 44100), last = peakOf(sustained, 396900, 441000);
        EXPECT_TRUE(std::isfinite(last)) << q;
        EXPECT_GT(first, 0.0f) << q;
        EXPECT_LT(last, first * 1.01f) << q;
        EXPECT_GT(last, first * 0.5f) << q;
    }
}

TEST(FilterResponse, CutoffAboveLimitActsAsTheLimitAndBelowZeroAsZero) {
    const float limit = 0.45f * kRate;
    for (float type : {-2.0f, -1.0f, 0.0f, 5.0f, 10.0f}) {
        FilterState a, b, c, d;
        for (int i = 0; i < 2000; ++i) {
            const Stereo x{std::sin(0.37f * i), std::cos(1.91f * i)};
            if (type >= 0.0f) {  // the state-variable stages; the one-pole has no such limit
                const Stereo high = filter(a, both(type), x, {30000.0f, 1e9f}, both(0.3f), kRate);
                const Stereo atLimit = filter(b, both(type), x, both(limit), both(0.3f), kRate);
                ASSERT_EQ(high, atLimit) << type << " at " << i;
            }
            const Stereo negative = filter(c, both(type), x, both(-5000.0f), both(0.3f), kRate);
            const Stereo zero = filter(d, both(type), x, both(0.0f), both(0.3f), kRate);
            ASSERT_EQ(negative, zero) << type << " at " << i;
            ASSERT_TRUE(std::isfinite(negative.l) && std::isfinite(negative.r));
        }
    }
}

TEST(FilterResponse, EachChannelHasItsOwnCutoffAndResonance) {
    const Stereo g = gainDb(Settings{0.0f, {500.0f, 4000.0f}, both(0.0f)}, 2000.0f);
    EXPECT_NEAR(g.l, gainDb(0.0f, 2000.0f, 500.0f), 0.01f);
    EXPECT_NEAR(g.r, gainDb(0.0f, 2000.0f, 4000.0f), 0.01f);
    const Stereo resonance = gainDb(Settings{0.0f, both(1000.0f), {0.0f, 0.9f}}, 1000.0f);
    EXPECT_NEAR(resonance.r - resonance.l, 20.0f, 0.5f);
}

TEST(FilterResponse, TypeHoldsFromTheFirstSampleAndHighTypesAreLowPass) {
    const struct {
        float first, later, sameAs;
    } cases[] = {
        {4.0f, 0.0f, 4.0f},    // the type of the first sample holds
        {-1.0f, 8.0f, -1.0f},
        {20.0f, 20.0f, 0.0f},  // 20 and above: (type & 3) + 1 low-pass stages
        {23.0f, 23.0f, 3.0f},  {1001.0f, 1001.0f, 1.0f},
    };
    for (const auto& c : cases) {
        FilterState changed, reference;
        for (int i = 0; i < 1000; ++i) {
            const Stereo x = both(std::sin(0.3f * i) + 0.5f * std::sin(2.1f * i));
            const Stereo got = filter(changed, both(i == 0 ? c.first : c.later), x, both(900.0f), both(0.4f), kRate);
            const Stereo want = filter(reference, both(c.sameAs), x, both(900.0f), both(0.4f), kRate);
            ASSERT_EQ(got, want) << c.first << " then " << c.later << " at " << i;
        }
    }
}

// The coefficients are kept from one sample to the next while the cutoff and resonance hold;
// whatever the operands do, the output is the one coefficients worked out afresh give.
TEST(FilterResponse, KeptCoefficientsFollowEveryChangeOfCutoffResonanceAndRate) {
    const struct {
        const char* name;
        float (*fc)(int);
        float (*q)(int);
        float (*rate)(int);
    } cases[] = {
        {"held", [](int) { return 1200.0f; }, [](int) { return 0.6f; }, [](int) { return kRate; }},
        {"sweeping cutoff", [](int i) { return 200.0f + 7.0f * i; }, [](int) { return 0.6f; },
         [](int) { return kRate; }},
        {"two cutoffs in turn", [](int i) { return i % 2 ? 300.0f : 5000.0f; }, [](int) { return 0.2f; },
         [](int) { return kRate; }},
        {"resonance moves, cutoff holds", [](int) { return 800.0f; }, [](int i) { return (i / 5 % 10) * 0.1f; },
         [](int) { return kRate; }},
        {"signed zeros", [](int i) { return i % 3 ? 0.0f : -0.0f; }, [](int i) { return i % 2 ? 0.0f : -0.0f; },
         [](int) { return kRate; }},
        {"rate changes", [](int) { return 3000.0f; }, [](int) { return 0.5f; },
         [](int i) { return i < 500 ? kRate : 96000.0f; }},
    };
    for (const auto& c : cases) {
        for (float type : {0.0f, 3.0f, 6.0f, 9.0f}) {
            FilterState state;
            SvfStage reference[kMaxStages];
            const int stageCount = (static_cast<int>(type) & 3) + 1;
            const SvfOutput output = static_cast<SvfOutput>(static_cast<int>(type) >> 2);
            for (int i = 0; i < 1000; ++i) {
                const Stereo x{std::sin(0.37f * i), std::cos(1.91f * i)};
                const float fc = c.fc(i), q = c.q(i), rate = c.rate(i);
                const Stereo got = filter(state, both(type), x, {fc, fc * 0.5f}, {q, q}, rate);
                const float left =
                    svfCascade(reference, stageCount, 0, x.l, output, svfCoefficients(fc, q, rate));
                const float right =
                    svfCascade(reference, stageCount, 1, x.r, output, svfCoefficients(fc * 0.5f, q, rate));
                ASSERT_EQ(got, (Stereo{left, right})) << c.name << ", type " << type << ", at " << i;
            }
        }
    }
}

// A run of samples with the type, cutoff and resonance held gives exactly what sample-by-sample
// calls give, for every kind of filter, with a moving input and with a held one; with channels
// apart, and with channels alike (computed once) that part after the second run.
TEST(FilterResponse, ARunWithHeldSettingsEqualsSampleBySampleCalls) {
    for (float type : {-2.0f, -1.0f, 0.0f, 1.0f, 3.0f, 4.0f, 8.0f, 13.0f, 18.0f, 21.0f})
        for (bool alike : {false, true})
            for (int stride : {1, 0}) {
                SCOPED_TRACE(alike ? "channels alike" : "channels apart");
                FilterState run, reference;
                std::vector<Stereo> x(300), out(300);
                for (int i = 0; i < 300; ++i)
                    x[static_cast<std::size_t>(i)] = {
                        std::sin(0.37f * i),
                        alike && i < 200 ? std::sin(0.37f * i) : std::cos(1.91f * i)};
                const Stereo fc = alike ? both(700.0f) : Stereo{700.0f, 2500.0f};
                const Stereo q = alike ? both(0.3f) : Stereo{0.3f, 0.8f};
                // Three runs of different lengths, as the executor cuts a block.
                int at = 0;
                for (int n : {1, 63, 236}) {
                    filterRun(run, both(type), x.data() + at * stride, stride, fc, q, kRate,
                              out.data() + at, n);
                    at += n;
                }
                for (int i = 0; i < 300; ++i) {
                    const Stereo want =
                        filter(reference, both(type), x[static_cast<std::size_t>(i * stride)], fc,
                               q, kRate);
                    ASSERT_EQ(out[static_cast<std::size_t>(i)], want)
                        << "type " << type << ", stride " << stride << ", at " << i;
                }
            }
}

}  // namespace
}  // namespace tess::filt
