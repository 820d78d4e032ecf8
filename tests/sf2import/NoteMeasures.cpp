#include "sf2import/NoteMeasures.h"

#include <algorithm>
#include <cmath>

namespace tess::test {

namespace {

constexpr std::size_t kWindow = 441;  // 10 ms at 44.1 kHz
constexpr std::size_t kHop = 44;      // 1 ms
// Longer than a period of the lowest bass note, so that a tone's own waveform is no onset.
constexpr std::size_t kOnsetWindow = 1323;

double powerOf(const StereoRender& r, std::size_t from, std::size_t to) {
    to = std::min(to, r.frames());
    if (to <= from) return 0.0;
    double sum = 0.0;
    for (std::size_t k = from; k < to; ++k)
        sum += double(r.left[k]) * r.left[k] + double(r.right[k]) * r.right[k];
    return sum / (2.0 * double(to - from));
}

double toDb(double power) {
    return 10.0 * std::log10(std::max(power, 1e-20));
}

double windowDb(const StereoRender& r, std::size_t at, std::size_t width = kWindow) {
    return toDb(powerOf(r, at, at + width));
}

}  // namespace

double rmsDb(const StereoRender& render, std::size_t from, std::size_t to) {
    return toDb(powerOf(render, from, to));
}

std::optional<double> fundamentalNear(const StereoRender& render, std::size_t from, std::size_t to,
                                      double expectedHz) {
    to = std::min(to, render.frames());
    if (to <= from) return std::nullopt;
    std::vector<double> x(to - from);
    for (std::size_t k = 0; k < x.size(); ++k)
        x[k] = double(render.left[from + k]) + render.right[from + k];
    const double period = render.rate / expectedHz;
    // A power of two of whole periods near 600 frames (so that a tone an octave below, as an
    // organ's sub-octave stop, correlates too), few enough that the search stays within half a
    // period.
    int periods = 1;
    while (periods < 8 && (periods * 2) * period < 850.0) periods *= 2;
    const double centre = periods * period;
    const long low = static_cast<long>(centre * 0.96), high = static_cast<long>(centre * 1.04) + 1;
    if (static_cast<std::size_t>(high) + 2 >= x.size()) return std::nullopt;
    auto correlation = [&](long lag) {
        double xy = 0.0, xx = 0.0, yy = 0.0;
        for (std::size_t k = 0; k + static_cast<std::size_t>(lag) < x.size(); ++k) {
            xy += x[k] * x[k + lag];
            xx += x[k] * x[k];
            yy += x[k + lag] * x[k + lag];
        }
        return xx > 0.0 && yy > 0.0 ? xy / std::sqrt(xx * yy) : 0.0;
    };
    std::vector<double> r;
    for (long lag = low - 1; lag <= high + 1; ++lag) r.push_back(correlation(lag));
    std::size_t best = 1;
    for (std::size_t k = 1; k + 1 < r.size(); ++k)
        if (r[k] > r[best]) best = k;
    if (r[best] < 0.5) return std::nullopt;  // nothing periodic near the expected pitch
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double shift = (a - 2 * b + c) != 0.0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0.0;
    const double lag = double(low - 1) + double(best) + shift;
    return periods * render.rate / lag;
}

NoteMeasure measureNote(const StereoRender& render, const NoteSpan& span,
                        std::optional<double> expectedHz) {
    NoteMeasure m;
    const auto ms = [&](double milliseconds) {
        return static_cast<std::size_t>(milliseconds * render.rate / 1000.0);
    };
    const std::size_t heldFrom = span.on + ms(50);
    m.levelDb = rmsDb(render, heldFrom, span.off);
    if (expectedHz) m.hertz = fundamentalNear(render, span.on + ms(150), span.off, *expectedHz);

    double peakDb = -200.0;
    for (std::size_t at = span.on; at + kWindow < span.off; at += kHop)
        peakDb = std::max(peakDb, windowDb(render, at));
    const double atOffDb = rmsDb(render, span.off - ms(100), span.off);
    if (atOffDb < peakDb - 40.0) return m;
    // The slope of the level in dB from the note-off until it is 30 dB down, fitted by least
    // squares, so that the beating of layered samples does not move the result.
    double n = 0, sumT = 0, sumD = 0, sumTt = 0, sumTd = 0;
    for (std::size_t at = span.off; at + kWindow <= span.end; at += kHop) {
        const double db = windowDb(render, at);
        if (db < atOffDb - 30.0) break;
        const double t = double(at - span.off) / render.rate;
        n += 1;
        sumT += t;
        sumD += db;
        sumTt += t * t;
        sumTd += t * db;
    }
    const double slope = n > 2 ? (n * sumTd - sumT * sumD) / (n * sumTt - sumT * sumT) : 0.0;
    const double longest = double(span.end - span.off) / render.rate;
    m.release = slope < 0.0 ? std::min(20.0 / -slope, longest) : longest;
    return m;
}

std::vector<std::size_t> noteOnsets(const StereoRender& render, std::size_t from, std::size_t to,
                                    double thresholdDb) {
    std::vector<std::size_t> onsets;
    bool armed = true;
    for (std::size_t at = from; at + kOnsetWindow <= std::min(to, render.frames()); at += kHop) {
        const double db = windowDb(render, at, kOnsetWindow);
        if (armed && db > thresholdDb) {
            onsets.push_back(at);
            armed = false;
        } else if (!armed && db < thresholdDb - 10.0) {
            armed = true;
        }
    }
    return onsets;
}

}  // namespace tess::test
