#include "sf2import/PresetConverter.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

#include "compiler/Diagnostics.h"
#include "platform/Platform.h"
#include "sf2import/FileHandle.h"
#include "sf2import/LayerWriter.h"
#include "sf2import/SafeName.h"
#include "sf2import/SampleWavWriter.h"
#include "sf2import/ZoneMerge.h"

namespace tess::sf2 {

using compiler::format;

namespace {

constexpr int kFirstSlot = 200;
constexpr int kLastSlot = 8191;

// A zone is its owner's global zone when it is the first and does not end with the owner's
// terminal generator (instrument for presets, sample for instruments).
bool isGlobal(const std::vector<Bag>& bags, const std::vector<Generator>& generators,
              std::size_t bag, std::size_t first, std::uint16_t terminal) {
    if (bag != first) return false;
    const ZoneRange r = zoneRange(bags, bag);
    return r.endGenerator == r.firstGenerator || generators[r.endGenerator - 1].oper != terminal;
}

std::uint16_t terminalAmount(const std::vector<Bag>& bags, const std::vector<Generator>& generators,
                             std::size_t bag) {
    return generators[zoneRange(bags, bag).endGenerator - 1].amount;
}

class Converter {
public:
    Converter(const Bank& bank, const std::vector<std::uint32_t>& guards, std::size_t preset,
              const std::string& folder, const ImportLog& log)
        : bank_(bank), guards_(guards), preset_(preset), folder_(folder), log_(log) {}

    PresetResult run() {
        const PresetHeader& header = bank_.presets[preset_];
        const char separator = platform::pathSeparator();
        presetFolder_ =
            folder_ + separator +
            format("%04d_%s", static_cast<int>(preset_ + 1), safeFileName(header.name).c_str());
        sampleFolder_ = presetFolder_ + separator + "samples";
        for (const std::string& f : {presetFolder_, sampleFolder_})
            if (!platform::directoryExists(f) && !platform::makeDirectory(f)) {
                log_.printf("Can't create folder %s...\r\n", f.c_str());
                return {};
            }
        const std::string instrumentPath = presetFolder_ + separator + "Instrument.txt";
        FileHandle file(platform::openFile(instrumentPath, "wb"));
        if (!file) {
            log_.printf("Can't open file %s...\r\n", instrumentPath.c_str());
            return {};
        }

        std::string text =
            format("# \"%s\", preset %d of bank %d, imported from %s\r\n", header.name.c_str(),
                   header.preset, header.bank, bank_.fileName.c_str());
        if (!writeSamples(text)) return {};
        text += controllerBlock();
        writeLayers(text);
        if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
            std::fflush(file.get()) != 0) {
            log_.printf("Can't write file %s...\r\n", instrumentPath.c_str());
            return {};
        }
        result_.written = true;
        return result_;
    }

private:
    // Calls `visit(presetBag, presetGlobal, instrumentBag, instrumentGlobal, ...)` for every
    // pair of a preset zone and an instrument zone, in bank order.
    template <typename Visit>
    void forEachPair(Visit visit) {
        const std::size_t first = bank_.presets[preset_].bagIndex,
                          end = bank_.presets[preset_ + 1].bagIndex;
        std::optional<std::size_t> presetGlobal;
        for (std::size_t pz = first; pz < end; ++pz) {
            if (isGlobal(bank_.presetBags, bank_.presetGenerators, pz, first, 41)) {
                presetGlobal = pz;
                log_.detail("The preset zone is global: skipping...\r\n");
                continue;
            }
            const std::size_t instrument =
                terminalAmount(bank_.presetBags, bank_.presetGenerators, pz);
            const std::size_t iFirst = bank_.instruments[instrument].bagIndex;
            const std::size_t iEnd = bank_.instruments[instrument + 1].bagIndex;
            std::optional<std::size_t> instrumentGlobal;
            for (std::size_t iz = iFirst; iz < iEnd; ++iz) {
                if (isGlobal(bank_.instrumentBags, bank_.instrumentGenerators, iz, iFirst, 53)) {
                    instrumentGlobal = iz;
                    log_.detail("The instrument zone is global: skipping...\r\n");
                    continue;
                }
                visit(ZonePair{pz, presetGlobal, iz, instrumentGlobal}, instrument, pz - first,
                      end - first, iz - iFirst, iEnd - iFirst);
            }
        }
    }

    // First pass: every sample the preset plays, written once, with its SAMPLE line.
    bool writeSamples(std::string& text) {
        bool ok = true;
        std::map<std::string, std::size_t> names;  // folded file name -> sample
        forEachPair([&](const ZonePair& pair, std::size_t, std::size_t, std::size_t, std::size_t,
                        std::size_t) {
            if (!ok) return;
            const std::size_t index = terminalAmount(
                bank_.instrumentBags, bank_.instrumentGenerators, pair.instrumentZone);
            if (samples_.count(index) != 0 || skipped_.count(index) != 0) return;
            const SampleHeader& s = bank_.samples[index];
            if (s.isRom()) {
                log_.printf(
                    "Warning: sample #%d \"%s\" lies in a ROM the bank does not hold: its zones "
                    "are skipped...\r\n",
                    static_cast<int>(index), s.name.c_str());
                skipped_.insert({index, true});
                return;
            }
            if (static_cast<int>(index) + kFirstSlot > kLastSlot) {
                log_.printf(
                    "Warning: sample #%d \"%s\" is past the last sample slot %d: its zones are "
                    "skipped...\r\n",
                    static_cast<int>(index), s.name.c_str(), kLastSlot);
                skipped_.insert({index, true});
                return;
            }
            // Two samples whose names are the same once made safe (or differ only in case)
            // must not overwrite each other's file.
            std::string name = safeFileName(s.name);
            auto taken = names.find(foldedName(name));
            if (taken != names.end() && taken->second != index)
                name += format("_%d", static_cast<int>(index));
            names[foldedName(name)] = index;

            WavPlan plan;
            plan.sampleIndex = index;
            plan.stereo = s.isStereo() && s.sampleLink + 1u < bank_.samples.size();
            plan.sampleRate = s.sampleRate;
            if (plan.sampleRate < 1) {
                log_.printf(
                    "Warning: sample #%d \"%s\" has no sample rate: 44100 Hz assumed...\r\n",
                    static_cast<int>(index), s.name.c_str());
                plan.sampleRate = 44100;
            }
            const std::string path = sampleFolder_ + platform::pathSeparator() + name + ".wav";
            log_.printf("Writing file %s...\r\n", path.c_str());
            const std::int64_t frames = writeSampleWav(bank_, guards_, plan, path);
            if (frames < 0) {
                log_.printf("Can't open file %s...\r\n", path.c_str());
                ok = false;
                return;
            }
            ++result_.samples;
            const int original = s.originalPitch <= 127 ? s.originalPitch : 60;
            // The pitch correction is applied on playback, so the file sounds at its own speed a
            // correction below its root key.
            const double centre = std::clamp(original - s.pitchCorrection * 0.01, 0.0, 128.0);
            const long loopStart =
                std::max(0L, static_cast<long>(s.loopStart) - static_cast<long>(s.start));
            const long loopEnd =
                std::max(0L, static_cast<long>(s.loopEnd) - static_cast<long>(s.start));
            const int slot = kFirstSlot + static_cast<int>(index);
            text +=
                format("SAMPLE %d,\"samples\\%s.wav\",0,%f,1,0,0,%ld,1e10,%ld,%ld,5,5,5\r\n", slot,
                       name.c_str(), centre, static_cast<long>((frames)), loopStart, loopEnd);
            samples_[index] = LayerSample{slot, frames, &s, plan.stereo};
        });
        return ok;
    }

    void writeLayers(std::string& text) {
        const int presetCount = static_cast<int>(bank_.presets.size()) - 1;
        forEachPair([&](const ZonePair& pair, std::size_t instrument, std::size_t presetZone,
                        std::size_t presetZones, std::size_t instrumentZone,
                        std::size_t instrumentZones) {
            if (log_.detailed()) {
                const ZoneRange p = zoneRange(bank_.presetBags, pair.presetZone);
                const ZoneRange i = zoneRange(bank_.instrumentBags, pair.instrumentZone);
                const Generator& lastP = bank_.presetGenerators[p.endGenerator - 1];
                const Generator& lastI = bank_.instrumentGenerators[i.endGenerator - 1];
                log_.printf(
                    "Preset #%d of %d: \"%s\", zone #%d of %d, generators from slot %d to %d (%d), "
                    "last "
                    "slot of type %d, value: %hi\r\n",
                    static_cast<int>(preset_ + 1), presetCount, bank_.presets[preset_].name.c_str(),
                    static_cast<int>(presetZone + 1), static_cast<int>(presetZones),
                    static_cast<int>(p.firstGenerator), static_cast<int>(p.endGenerator - 1),
                    static_cast<int>(p.endGenerator - p.firstGenerator), lastP.oper,
                    lastP.signedAmount());
                log_.printf(
                    "Instr #%d: \"%s\", zone #%d of %d, gens slot %d to %d (%d), mods slot %d to "
                    "%d "
                    "(%d), last slot of type %d, value: %hi\r\n",
                    static_cast<int>(instrument), bank_.instruments[instrument].name.c_str(),
                    static_cast<int>(instrumentZone + 1), static_cast<int>(instrumentZones),
                    static_cast<int>(i.firstGenerator), static_cast<int>(i.endGenerator - 1),
                    static_cast<int>(i.endGenerator - i.firstGenerator),
                    static_cast<int>(i.firstModulator), static_cast<int>(i.endModulator),
                    static_cast<int>(i.endModulator - i.firstModulator), lastI.oper,
                    lastI.signedAmount());
            }
            const std::size_t index = terminalAmount(
                bank_.instrumentBags, bank_.instrumentGenerators, pair.instrumentZone);
            const auto sample = samples_.find(index);
            if (sample == samples_.end()) return;  // skipped with its warning in the first pass
            const MergedZone zone = mergeZone(bank_, pair, log_);
            if (!writeLayer(zone, sample->second, log_, text)) return;
            ++result_.layers;
            log_.printf("Preset #%d of %d, preset zone #%d of %d, instrument zone #%d of %d.\r\n",
                        static_cast<int>(preset_ + 1), presetCount,
                        static_cast<int>(presetZone + 1), static_cast<int>(presetZones),
                        static_cast<int>(instrumentZone + 1), static_cast<int>(instrumentZones));
        });
    }

    const Bank& bank_;
    const std::vector<std::uint32_t>& guards_;
    std::size_t preset_;
    const std::string& folder_;
    const ImportLog& log_;
    std::string presetFolder_, sampleFolder_;
    std::map<std::size_t, LayerSample> samples_;
    std::map<std::size_t, bool> skipped_;
    PresetResult result_;
};

}  // namespace

const char* controllerBlock() {
    return "VSTVARS 9\r\n"
           "VSTVAR 0, .94, \"LPROOMSIZE\", \"\", .8, .9999, 0\r\n"
           "VSTVAR 1, .92, \"HPROOMSIZE\", \"\", .8, .9999, 0\r\n"
           "VSTVAR 2, 2000, \"F Thres\", \"Hz\", 10, 20000, 0\r\n"
           "VSTVAR 3, .1, \"REVERBGAIN\", \"\", 0, 1, 1\r\n"
           "VSTVAR 4, 0, \"STEREO\", \"Samples\", -100, 100, 1\r\n"
           "VSTVAR 5, 1, \"DLYMUL\", \"\", .1, 3, 1\r\n"
           "VSTVAR 6, .618, \"DIFFUSION\", \"\", -1, 1, 1\r\n"
           "VSTVAR 7, 2, \"PMSENS\", \"Semi\", 0, 24, 2\r\n"
           "VSTVAR 8, 0, \"VOLUME\", \"Db\", -100, 0, 2\r\n"
           "# General MIDI start values: volume, pan, expression\r\n"
           "MIDICC 7,100\r\n"
           "MIDICC 10,64\r\n"
           "MIDICC 11,127\r\n"
           "COMPLEXMOD 0,135,607,100\r\n"
           "GAINMOD 608,1\r\n"
           "POST\r\n"
           "out=out+REVERB2(out,MCC(600),MCC(601),MCC(602),MCC(604),MCC(605),MCC(606))*MCC(603)"
           "\r\n";
}

PresetResult convertPreset(const Bank& bank, const std::vector<std::uint32_t>& guards,
                           std::size_t preset, const std::string& folder, const ImportLog& log) {
    Converter converter(bank, guards, preset, folder, log);
    return converter.run();
}

}  // namespace tess::sf2
