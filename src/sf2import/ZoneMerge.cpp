#include "sf2import/ZoneMerge.h"

#include <algorithm>

namespace tess::sf2 {

namespace {

struct Entry {
    int oper;
    std::int16_t amount;
};

// Appends the zone's generators, or only those whose operator is not yet in `list`. Range
// generators keep the two bytes in the raw word.
void collect(const std::vector<Generator>& table, const ZoneRange& range, bool onlyMissing,
             std::vector<Entry>& list, const ImportLog& log, const char* label) {
    for (std::size_t i = range.firstGenerator; i < range.endGenerator; ++i) {
        const Generator& g = table[i];
        if (g.oper >= gen::Count || g.oper == gen::Instrument || g.oper == gen::SampleId) continue;
        auto found = std::find_if(list.begin(), list.end(),
                                  [&](const Entry& e) { return e.oper == g.oper; });
        if (found != list.end()) {
            if (!onlyMissing)
                found->amount = g.signedAmount();  // a repeated operator: the last one counts
            continue;
        }
        list.push_back({g.oper, g.signedAmount()});
        log.detail("%s #%d: type %d, value: %hi\r\n", label, static_cast<int>(list.size() - 1),
                   g.oper, g.signedAmount());
    }
}

std::int16_t clampSum(int a, int b) {
    return static_cast<std::int16_t>(std::clamp(a + b, -32768, 32767));
}

std::int16_t intersectRanges(std::int16_t a, std::int16_t b) {
    const auto ua = static_cast<std::uint16_t>(a), ub = static_cast<std::uint16_t>(b);
    const int low = std::max(ua & 0xFF, ub & 0xFF);
    const int high = std::min(ua >> 8, ub >> 8);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((high << 8) | (low & 0xFF)));
}

void collectModulators(const std::vector<Modulator>& table, const ZoneRange& range, bool isGlobal,
                       std::vector<MergedModulator>& list, const ImportLog& log) {
    for (std::size_t i = range.firstModulator; i < range.endModulator; ++i) {
        const Modulator& m = table[i];
        const bool known = std::any_of(list.begin(), list.end(), [&](const MergedModulator& e) {
            return e.modulator.sameAs(m);
        });
        if (isGlobal && known) continue;
        if (!isGlobal && known) {
            // A zone listing the same modulator twice: the later one counts.
            for (MergedModulator& e : list)
                if (e.modulator.sameAs(m)) e.modulator = m;
            continue;
        }
        list.push_back({m, false});
        log.detail("%s IMOD #%d: SRC %d, DST %d, Amount %d, SRC2 %d, TRANSF %d\r\n",
                   isGlobal ? "Global" : "Local", static_cast<int>(list.size() - 1), m.source,
                   m.destination, m.amount, m.amountSource, m.transform);
    }
}

}  // namespace

ZoneRange zoneRange(const std::vector<Bag>& bags, std::size_t bag) {
    return {bags[bag].generatorIndex, bags[bag + 1].generatorIndex, bags[bag].modulatorIndex,
            bags[bag + 1].modulatorIndex};
}

const std::vector<Modulator>& defaultModulators() {
    // Source words: bits 0-6 index, bit 7 MIDI controller, bit 8 negative, bit 9 bipolar,
    // bits 10-15 curve type (0 linear, 1 concave, 2 convex, 3 switch).
    static const std::vector<Modulator> defaults = {
        {0x0502, 48, 960, 0, 0},         // velocity -> attenuation, concave falling
        {0x0102, 8, -2400, 0x0C02, 0},   // velocity -> filter cutoff, from velocity 64 on
        {0x000D, 6, 50, 0, 0},           // channel pressure -> vibrato depth
        {0x0081, 6, 50, 0, 0},           // modulation wheel -> vibrato depth
        {0x0587, 48, 960, 0, 0},         // volume (CC 7) -> attenuation
        {0x028A, 17, 1000, 0, 0},        // pan (CC 10) -> pan
        {0x058B, 48, 960, 0, 0},         // expression (CC 11) -> attenuation
        {0x00DB, 16, 200, 0, 0},         // CC 91 -> reverb send
        {0x00DD, 15, 200, 0, 0},         // CC 93 -> chorus send
        {0x020E, 52, 12700, 0x0010, 0},  // pitch wheel, scaled by its sensitivity -> fine tune
    };
    return defaults;
}

MergedZone mergeZone(const Bank& bank, const ZonePair& pair, const ImportLog& log) {
    MergedZone zone;
    std::vector<Entry> instrument;
    collect(bank.instrumentGenerators, zoneRange(bank.instrumentBags, pair.instrumentZone), false,
            instrument, log, "Local IGEN");
    if (pair.instrumentGlobal)
        collect(bank.instrumentGenerators, zoneRange(bank.instrumentBags, *pair.instrumentGlobal),
                true, instrument, log, "Global IGEN");
    std::vector<Entry> preset;
    collect(bank.presetGenerators, zoneRange(bank.presetBags, pair.presetZone), false, preset, log,
            "Local PGEN");
    if (pair.presetGlobal)
        collect(bank.presetGenerators, zoneRange(bank.presetBags, *pair.presetGlobal), true, preset,
                log, "Global PGEN");

    ZoneGenerators& g = zone.generators;
    for (const Entry& e : instrument) {
        g.present[static_cast<std::size_t>(e.oper)] = true;
        g.amount[static_cast<std::size_t>(e.oper)] = e.amount;
    }
    for (const Entry& e : preset) {
        const auto at = static_cast<std::size_t>(e.oper);
        if (instrumentOnly(e.oper)) continue;  // a preset zone cannot move samples or roots
        const std::int16_t old = g.amount[at];
        if (e.oper == gen::KeyRange || e.oper == gen::VelRange) {
            g.amount[at] = intersectRanges(old, e.amount);
        } else {
            // Preset values are offsets: on the instrument's value, or on the default.
            g.amount[at] = clampSum(old, e.amount);
        }
        if (g.present[at])
            log.detail(
                "Preset generator found in IGEN slot #%d. Type %d, old value: %hi, new value: "
                "%hi\r\n",
                e.oper, e.oper, old, g.amount[at]);
        else
            log.detail(
                "Preset generator not found in IGEN. Adding in slot #%d: type %d, value: %hi\r\n",
                e.oper, e.oper, g.amount[at]);
        g.present[at] = true;
    }

    const ZoneRange own = zoneRange(bank.instrumentBags, pair.instrumentZone);
    if (own.endGenerator > own.firstGenerator &&
        bank.instrumentGenerators[own.endGenerator - 1].oper == gen::SampleId)
        zone.sampleIndex = bank.instrumentGenerators[own.endGenerator - 1].amount;

    collectModulators(bank.instrumentModulators, own, false, zone.modulators, log);
    if (pair.instrumentGlobal)
        collectModulators(bank.instrumentModulators,
                          zoneRange(bank.instrumentBags, *pair.instrumentGlobal), true,
                          zone.modulators, log);
    for (const Modulator& d : defaultModulators()) {
        const bool replaced =
            std::any_of(zone.modulators.begin(), zone.modulators.end(),
                        [&](const MergedModulator& e) { return e.modulator.sameAs(d); });
        if (replaced) continue;
        zone.modulators.push_back({d, true});
        log.detail("Default IMOD #%d: SRC %d, DST %d, Amount %d, SRC2 %d, TRANSF %d\r\n",
                   static_cast<int>(zone.modulators.size() - 1), d.source, d.destination, d.amount,
                   d.amountSource, d.transform);
    }
    return zone;
}

}  // namespace tess::sf2
