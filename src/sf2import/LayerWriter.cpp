#include "sf2import/LayerWriter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/Text.h"
#include "sf2import/ModulatorTerms.h"

namespace tess::sf2 {

using compiler::format;

double timecentsToSeconds(int timecents) {
    return std::pow(2.0, timecents / 1200.0);
}
double absoluteCentsToHertz(int cents) {
    return 8.176 * std::pow(2.0, cents / 1200.0);
}

namespace {

// The reference player's envelopes move in decibels: a volume decay or release covers 96 dB in
// its stated time. The engine's exponential segment covers 43.43 dB (a factor e^-5) of its
// time before it closes to zero, so the same slope needs 43.43 / 96 of the time.
constexpr double kExponentialShare = 43.429448 / 96.0;
// The reference player scales the initial attenuation generator by 0.4 (as the hardware the
// format was made for does) and maps 1000 cB of volume sustain to 96 dB.
constexpr double kAttenuationFactor = 0.4;
constexpr double kSustainDbPerCentibel = 0.096;
constexpr double kMinTime = 0.001;
// A voice stopped by its exclusive class is released within this many seconds (a 0.891 s
// release of the reference, at the engine's exponential slope).
constexpr double kExclusiveRelease = 0.891 * kExponentialShare;

// A constant plus modulator terms, in one destination's units.
struct Value {
    double constant = 0.0;
    std::vector<std::string> terms;

    bool isConstant() const { return terms.empty(); }
    bool isZero() const { return terms.empty() && constant == 0.0; }
    std::string text(const char* numberFormat) const {
        std::string s = format(numberFormat, constant);
        for (const std::string& t : terms) s += " + " + t;
        return s;
    }
};

std::string seconds(double s) {
    return format("%.7f", s);
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string s;
    for (const std::string& p : parts) s += (s.empty() ? "" : separator) + p;
    return s;
}

class LayerBuilder {
public:
    LayerBuilder(const MergedZone& zone, const LayerSample& sample, const ImportLog& log)
        : zone_(zone), g_(zone.generators), sample_(sample), log_(log) {}

    bool build(std::string& text) {
        const int keyLow = g_.rangeLow(gen::KeyRange),
                  keyHigh = std::min(127, g_.rangeHigh(gen::KeyRange));
        const int velLow = g_.rangeLow(gen::VelRange),
                  velHigh = std::min(127, g_.rangeHigh(gen::VelRange));
        if (keyLow > keyHigh || velLow > velHigh) {
            log_.detail("The zone's key or velocity ranges do not overlap: skipping...\r\n");
            return false;
        }
        collectModulators();
        line("LAYER");
        line(format("ONNOTEON %d,%d,%d,%d", keyLow, keyHigh, velLow, velHigh));
        const int exclusive = g_.value(gen::ExclusiveClass);
        if (exclusive > 0) {
            line(format("GROUP %d", exclusive));
            line(format("OFFGROUP %d,%.4f", exclusive, kExclusiveRelease));
        }
        if (velocityTrackingOff_) line("VELTRACK 0");
        writeLfos();
        writeEnvelopes();
        writeTuning();
        writeOscillator();
        writeFilter();
        writePan();
        text += lines_;
        return true;
    }

private:
    void line(const std::string& s) { lines_ += s + "\r\n"; }

    // Modulator terms go to the value of their destination, in its units.
    void collectModulators() {
        const bool fixedVelocity = g_.value(gen::Velocity) >= 0 && g_.value(gen::Velocity) <= 127;
        bool defaultVelocityCurve = false;
        for (const MergedModulator& m : zone_.modulators)
            if (m.isDefault && m.modulator.source == 0x0502 &&
                m.modulator.destination == gen::Attenuation)
                defaultVelocityCurve = true;
        // The voice's own velocity curve, (velocity / 127)^2, is exactly the default velocity
        // to attenuation modulator; it gives way to a zone's own velocity modulator or fixed
        // velocity.
        velocityTrackingOff_ = fixedVelocity || !defaultVelocityCurve;

        for (const MergedModulator& merged : zone_.modulators) {
            const Modulator& m = merged.modulator;
            if (m.amount == 0) continue;
            if (merged.isDefault && m.source == 0x0502 && !velocityTrackingOff_) continue;
            if (merged.isDefault && m.source == 0x020E)
                continue;  // the pitch wheel is the COMPLEXMOD line
            // The reference player leaves the default velocity-to-cutoff modulator out: a softer
            // note is quieter, not darker. The imported zone does the same, to sound alike.
            if (merged.isDefault && m.destination == gen::FilterFc) continue;
            Value* target = nullptr;
            double scale = 1.0;
            switch (m.destination) {
                case gen::ModLfoToPitch:
                    target = &modLfoToPitch_;
                    break;
                case gen::VibLfoToPitch:
                    target = &vibLfoToPitch_;
                    break;
                case gen::ModEnvToPitch:
                    target = &modEnvToPitch_;
                    break;
                case gen::CoarseTune:
                    target = &pitchCents_;
                    scale = 100.0;
                    break;
                case gen::FineTune:
                    target = &pitchCents_;
                    break;
                case gen::FilterFc:
                    target = &filterCents_;
                    break;
                case gen::FilterQ:
                    target = &filterQ_;
                    scale = 0.1;
                    break;
                case gen::ModLfoToFilterFc:
                    target = &modLfoToFc_;
                    break;
                case gen::ModEnvToFilterFc:
                    target = &modEnvToFc_;
                    break;
                case gen::ModLfoToVolume:
                    target = &modLfoToVolume_;
                    scale = 0.1;
                    break;
                case gen::Pan:
                    target = &pan_;
                    scale = 0.1;
                    break;
                case gen::Attenuation:
                    target = &attenuation_;
                    scale = 0.1;
                    break;
                case gen::ChorusSend:
                case gen::ReverbSend:
                    break;  // sends are not converted
                default:
                    log_.detail("Warning: modulator to generator %d not converted...\r\n",
                                m.destination);
                    break;
            }
            if (target == nullptr) continue;
            if (std::optional<std::string> term = modulatorTerm(m, g_, scale))
                target->terms.push_back(*term);
        }
        if (g_.value(gen::ChorusSend) > 0) log_.printf("Warning: chorus SENDS ignored...\r\n");
        if (g_.value(gen::ReverbSend) > 0) log_.printf("Warning: reverb SENDS ignored...\r\n");

        modLfoToPitch_.constant = g_.value(gen::ModLfoToPitch);
        vibLfoToPitch_.constant = g_.value(gen::VibLfoToPitch);
        modEnvToPitch_.constant = g_.value(gen::ModEnvToPitch);
        modLfoToFc_.constant = g_.value(gen::ModLfoToFilterFc);
        modEnvToFc_.constant = g_.value(gen::ModEnvToFilterFc);
        modLfoToVolume_.constant = g_.value(gen::ModLfoToVolume) * 0.1;
        filterQ_.constant = std::clamp(g_.value(gen::FilterQ), 0, 960) * 0.1;
        filterCents_.constant = std::clamp(g_.value(gen::FilterFc), 1500, 13500);
        pan_.constant = std::clamp(g_.value(gen::Pan), -500, 500) * 0.1;
        attenuation_.constant =
            std::clamp(g_.value(gen::Attenuation), 0, 1440) * kAttenuationFactor * 0.1;
    }

    // A named value: the constant itself, or a line computing it and its name.
    std::string named(const char* name, const Value& value, const char* numberFormat) {
        if (value.isConstant()) return format(numberFormat, value.constant);
        line(format("%s = %s", name, value.text(numberFormat).c_str()));
        return name;
    }

    void writeLfo(const char* name, int delayOper, int freqOper) {
        const double delay = timecentsToSeconds(std::clamp(g_.value(delayOper), -12000, 5000));
        const double hertz = absoluteCentsToHertz(std::clamp(g_.value(freqOper), -16000, 4500));
        if (delay <= kMinTime)
            line(format("%s = LFO0(3,%.5f)", name, hertz));
        else
            line(format("%s = LFO(3,%s,0,1e6,%.5f)", name, seconds(delay).c_str(), hertz));
    }

    void writeLfos() {
        usesModLfo_ =
            !modLfoToPitch_.isZero() || !modLfoToFc_.isZero() || !modLfoToVolume_.isZero();
        usesVibLfo_ = !vibLfoToPitch_.isZero();
        if (usesModLfo_) writeLfo("MODLFO", gen::ModLfoDelay, gen::ModLfoFreq);
        if (usesVibLfo_) writeLfo("VIBLFO", gen::VibLfoDelay, gen::VibLfoFreq);
    }

    struct Envelope {
        std::string delay, attack, hold, decay, sustain, release;
        bool constant = true;
    };

    // Hold and decay shortened by key number: timecents per key above key 60.
    std::string keyScaled(const char* name, double seconds, int perKey, Envelope& envelope) {
        if (perKey == 0) return format("%.7f", seconds);
        line(format("%s = 2 ^ ((KEYI - 60) * %.7f)", name, -perKey / 1200.0));
        envelope.constant = false;
        return format("%s * %.7f", name, seconds);
    }

    void writeEnvelopes() {
        // Volume envelope: attack linear in amplitude, decay and release linear in decibels.
        {
            Envelope e;
            const double delay =
                timecentsToSeconds(std::clamp(g_.value(gen::VolEnvDelay), -12000, 5000));
            const double attack =
                timecentsToSeconds(std::clamp(g_.value(gen::VolEnvAttack), -12000, 8000));
            const double hold =
                timecentsToSeconds(std::clamp(g_.value(gen::VolEnvHold), -12000, 5000));
            const double decay =
                timecentsToSeconds(std::clamp(g_.value(gen::VolEnvDecay), -12000, 8000));
            const double release =
                timecentsToSeconds(std::clamp(g_.value(gen::VolEnvRelease), -12000, 8000));
            const double sustainDb =
                kSustainDbPerCentibel * std::clamp(g_.value(gen::VolEnvSustain), 0, 1000);
            // Decay: to a sustain within 10 dB a straight line in amplitude is closest to the
            // reference's decibel line. To a farther one the exponential segment, whose level
            // (1 - S) e^(-5x) + S starts falling at 43.43 (1 - S) dB per its time: at the
            // reference's slope when that time is 43.43 (1 - S) / 96 of the decay. The power over
            // the decay is then within 0.6 dB of the reference's at every sustain.
            double decayTime = kMinTime;
            double decaySign = -1.0;
            if (sustainDb >= 10.0) {
                decayTime = decay * 43.429448 * (1.0 - std::pow(10.0, -sustainDb / 20.0)) / 96.0;
                decaySign = 1.0;
            } else if (sustainDb > 0.0) {
                decayTime = decay * sustainDb / 96.0;
            }
            e.delay = seconds(std::max(delay, kMinTime));
            e.attack = seconds(-std::max(attack, kMinTime));
            e.hold =
                keyScaled("VKEY2HOLD", std::max(hold, kMinTime), g_.value(gen::KeyToVolEnvHold), e);
            const std::string decayText = keyScaled("VKEY2DECAY", std::max(decayTime, kMinTime),
                                                    g_.value(gen::KeyToVolEnvDecay), e);
            // A negative time asks for the straight segment.
            e.decay = decaySign > 0 ? decayText
                                    : (compiler::isDigit(decayText[0]) ? "-" : "0 - ") + decayText;
            e.sustain = format("%.7f", std::pow(10.0, -sustainDb / 20.0));
            e.release = seconds(std::max(release * kExponentialShare, kMinTime));
            if (e.constant) {
                line(format("GAINENV 1,%s,%s,%s,%s,%s,%s", e.delay.c_str(), e.attack.c_str(),
                            e.hold.c_str(), e.decay.c_str(), e.sustain.c_str(), e.release.c_str()));
                volumeEnvelope_ = "1";
            } else {
                line(format("VOLENV = ENV1(%s,%s,%s,%s,%s,%s)", e.attack.c_str(), e.decay.c_str(),
                            e.sustain.c_str(), e.release.c_str(), e.delay.c_str(), e.hold.c_str()));
                volumeEnvelope_ = "VOLENV";
            }
        }
        usesModEnv_ = !modEnvToPitch_.isZero() || !modEnvToFc_.isZero();
        if (!usesModEnv_) return;
        // Modulation envelope: straight lines in its level throughout.
        Envelope e;
        const double sustain = 1.0 - 0.001 * std::clamp(g_.value(gen::ModEnvSustain), 0, 1000);
        const double decay =
            timecentsToSeconds(std::clamp(g_.value(gen::ModEnvDecay), -12000, 8000));
        const double release =
            timecentsToSeconds(std::clamp(g_.value(gen::ModEnvRelease), -12000, 8000));
        const double delay = std::max(
            timecentsToSeconds(std::clamp(g_.value(gen::ModEnvDelay), -12000, 5000)), kMinTime);
        const double attack = std::max(
            timecentsToSeconds(std::clamp(g_.value(gen::ModEnvAttack), -12000, 8000)), kMinTime);
        e.delay = seconds(delay);
        e.attack = seconds(-attack);
        e.hold = keyScaled(
            "MKEY2HOLD",
            std::max(timecentsToSeconds(std::clamp(g_.value(gen::ModEnvHold), -12000, 5000)),
                     kMinTime),
            g_.value(gen::KeyToModEnvHold), e);
        const std::string decayText =
            keyScaled("MKEY2DECAY", std::max(decay * (1.0 - sustain), kMinTime),
                      g_.value(gen::KeyToModEnvDecay), e);
        e.decay = "0 - " + decayText;
        e.sustain = format("%.7f", sustain);
        if (sustain >= 1.0) {
            e.release = seconds(-std::max(release, kMinTime));
        } else {
            // The release falls at the reference's slope, a whole level per release time, from
            // where the envelope stands at the note-off: inside the decay that is above the
            // sustain. DURATION stops at the note-off, so the level there is a constant of the
            // release: the decay's share still ahead, (SAT(1 - 2 u) + 1) / 2 for u the time
            // into the decay over its length, clamped to 0 .. 1.
            line(format("MODRELEASE = %.7f * (%.7f + %.7f * (SAT(1 - 2 * (DURATION - %.7f - %s) / "
                        "(%s)) + 1) * 0.5)",
                        std::max(release, kMinTime), sustain, 1.0 - sustain,
                        delay + attack, e.hold.c_str(), decayText.c_str()));
            e.release = "0 - MODRELEASE";
            e.constant = false;
        }
        line(format("MODENV = ENV1(%s,%s,%s,%s,%s,%s)", e.attack.c_str(), e.decay.c_str(),
                    e.sustain.c_str(), e.release.c_str(), e.delay.c_str(), e.hold.c_str()));
    }

    void writeTuning() {
        const SampleHeader& s = *sample_.header;
        const int original = s.originalPitch <= 127 ? s.originalPitch : 60;
        const int overriding = g_.value(gen::OverridingRootKey);
        const int root = overriding >= 0 && overriding <= 127 ? overriding : original;
        const int scale = std::clamp(g_.value(gen::ScaleTuning), 0, 1200);
        const int fixedKey = g_.value(gen::Keynum);
        const double correction = s.pitchCorrection * 0.01;
        // The zone's root, as the note at which the sample plays at its own speed.
        const double zoneRoot = root - correction;
        const double tune = g_.value(gen::CoarseTune) + g_.value(gen::FineTune) * 0.01;
        double detune =
            tune + (original - root);  // the SAMPLE line centres the file on its own root
        const bool fixed = fixedKey >= 0 && fixedKey <= 127;
        if (fixed || scale != 100) {
            // The reference scales the keyboard about the zone's root: the voice's frequency
            // becomes the file's own at that root, moved by the scaled key distance.
            const double centre = original - correction;
            line(format("KEYTRACK %.2f", fixed ? 0.0 : std::min(scale * 0.01, 10.0)));
            line(format("KEYCENTER %.2f", std::clamp(zoneRoot, 0.0, 127.0)));
            line(format("BASEF %.4f", 440.0 * std::pow(2.0, (centre - 69.0) / 12.0)));
            detune = tune;
            if (fixed) detune += (fixedKey - zoneRoot) * scale * 0.01;
        }
        std::vector<std::string> cents;
        if (detune != 0.0) {
            line(format("DETUNE = %.2f", detune));
            cents.push_back("DETUNE * 100");
        }
        for (const std::string& t : pitchCents_.terms) cents.push_back(t);
        auto modulation = [&](const char* name, const Value& amount, const char* source) {
            if (amount.isZero()) return;
            if (amount.isConstant()) {
                line(format("%s = %d", name, static_cast<int>(amount.constant)));
                cents.push_back(format("%d * %s", static_cast<int>(amount.constant), source));
            } else {
                line(format("%s = %s", name, amount.text("%.0f").c_str()));
                cents.push_back(format("%s * %s", name, source));
            }
        };
        if (usesModEnv_) modulation("MODENV2PITCH", modEnvToPitch_, "MODENV");
        if (usesModLfo_) modulation("MODLFO2PITCH", modLfoToPitch_, "MODLFO");
        if (usesVibLfo_) modulation("VIBLFO2PITCH", vibLfoToPitch_, "VIBLFO");
        pitchCentsText_ = cents.empty() ? "0" : joined(cents, " + ");

        line(format("IATT = %.1f", attenuation_.constant));
        // The reference player's filter, always in the voice's path, passes its band 1.1 dB up.
        gainDbText_ = "1.1 - IATT";
        for (const std::string& t : attenuation_.terms) gainDbText_ += " - " + t;
        if (usesModLfo_ && !modLfoToVolume_.isZero()) {
            line(format("MODLFO2VOL = %s", modLfoToVolume_.text("%.1f").c_str()));
            gainDbText_ += " + MODLFO2VOL * MODLFO";
        }
    }

    void writeOscillator() {
        const SampleHeader& s = *sample_.header;
        const int mode = g_.value(gen::SampleModes) & 3;
        const bool loops = mode == 1 || mode == 3;
        const long start = g_.value(gen::StartOffset) + 32768L * g_.value(gen::StartCoarseOffset);
        const long endShift = g_.value(gen::EndOffset) + 32768L * g_.value(gen::EndCoarseOffset);
        const long loopStartShift =
            g_.value(gen::LoopStartOffset) + 32768L * g_.value(gen::LoopStartCoarseOffset);
        const long loopEndShift =
            g_.value(gen::LoopEndOffset) + 32768L * g_.value(gen::LoopEndCoarseOffset);
        const bool offsets =
            start != 0 || endShift != 0 || loopStartShift != 0 || loopEndShift != 0;
        const std::string cents = pitchCentsText_;
        if (!loops && !offsets) {
            line(format("OUT = OSC1MOD(%d,%s,%s,%s)", sample_.slot, gainDbText_.c_str(),
                        cents.c_str(), volumeEnvelope_.c_str()));
        } else {
            const long last = static_cast<long>(sample_.frames) - 1;
            const long length = static_cast<long>(s.end) - static_cast<long>(s.start);
            const long first = std::clamp(start, 0L, last);
            const long end = std::clamp(length + endShift, first, last);
            const long loopStart = std::clamp(
                static_cast<long>(s.loopStart) - static_cast<long>(s.start) + loopStartShift, 0L,
                last);
            const long loopEnd = std::clamp(
                static_cast<long>(s.loopEnd) - static_cast<long>(s.start) + loopEndShift, 0L, last);
            // 0 loops for ever; a large count loops while the key is held and plays on after.
            const long loopMode = !loops ? 1 : (mode == 1 ? 0 : 1000000);
            std::string gain = "GAIN * DB2LIN(" + gainDbText_ + ")";
            if (volumeEnvelope_ != "1") gain += " * " + volumeEnvelope_;
            const std::string frequency = cents == "0" ? "FREQ" : "CENTS(FREQ, " + cents + ")";
            line(format("OUT = OSCSAM(%d,%ld,%ld,%ld,%ld,%ld,%s,%s,0)", sample_.slot, first, end,
                        loopStart, loopEnd, loopMode, gain.c_str(), frequency.c_str()));
        }
        // A linked stereo file carries both samples; this zone plays its own one.
        if (sample_.stereo) line(s.isRight() ? "OUT = RIGHT(OUT)" : "OUT = LEFT(OUT)");
    }

    void writeFilter() {
        const bool closed = g_.has(gen::FilterFc) && g_.value(gen::FilterFc) < 13500;
        bool modulated = false;
        for (const MergedModulator& m : zone_.modulators)
            modulated |=
                !m.isDefault && m.modulator.amount != 0 && m.modulator.destination == gen::FilterFc;
        const bool lfo = usesModLfo_ && !modLfoToFc_.isZero();
        const bool env = usesModEnv_ && !modEnvToFc_.isZero();
        // A filter left open at 13500 cents (about 20 kHz) with only the default velocity
        // modulator on it is not written: it would cost a filter per voice for no audible change.
        if (!closed && !modulated && !lfo && !env && filterQ_.isZero()) return;
        line(format("FC = %.2f", absoluteCentsToHertz(static_cast<int>(filterCents_.constant))));
        std::vector<std::string> cents = filterCents_.terms;
        auto modulation = [&](const char* name, const Value& amount, const char* source) {
            if (amount.isConstant()) {
                line(format("%s = %d", name, static_cast<int>(amount.constant)));
                cents.push_back(format("%d * %s", static_cast<int>(amount.constant), source));
            } else {
                line(format("%s = %s", name, amount.text("%.0f").c_str()));
                cents.push_back(format("%s * %s", name, source));
            }
        };
        if (lfo) modulation("MODLFO2FC", modLfoToFc_, "MODLFO");
        if (env) modulation("MODENV2FC", modEnvToFc_, "MODENV");
        const std::string cutoff = cents.empty() ? "FC" : "CENTS(FC, " + joined(cents, " + ") + ")";
        // Resonance: the reference's 0 dB is a flat (Butterworth) response, its peak Q dB above
        // that, and the level drops by half the peak in dB. Its filter is a bilinear biquad of
        // damping 2 zeta, zeta = 0.7071068 / DB2LIN(Q).
        line(format("Q = %s", filterQ_.text("%.1f").c_str()));
        // The engine's state-variable filter, tuned as written, is overdamped and too low when
        // the cutoff nears a quarter of the sample rate: at 12.9 kHz it is 3 dB down at 8 kHz
        // where the reference is flat. For x the cutoff over the sample rate (at most 0.45), a
        // cutoff (1 - 1.2 zeta x) and a damping (1 - 1.7 zeta x) times the written ones bring its
        // passband within about 1.2 dB of the reference's up to the cutoff, for Q from 0 to 6 dB.
        if (cutoff != "FC") line("FCUT = " + cutoff);
        const std::string fc = cutoff == "FC" ? "FC" : "FCUT";
        line(format("FCX = 0.45 * SAT(%s * 2.2222222 / SAMPLERATE)", fc.c_str()));
        if (filterQ_.isConstant()) {
            const double zeta = 0.7071068 / std::pow(10.0, filterQ_.constant / 20.0);
            line(format("OUT = %.7f * FILT(0, OUT, %s * (1 - %.7f * FCX), 1 - %.7f * (1 - %.7f * FCX))",
                        std::pow(10.0, -filterQ_.constant / 40.0), fc.c_str(), 1.2 * zeta, zeta,
                        1.7 * zeta));
        } else {
            line("ZETA = 0.7071068 / DB2LIN(Q)");
            line(format("OUT = DB2LIN(0 - Q / 2) * FILT(0, OUT, %s * (1 - 1.2 * ZETA * FCX), "
                        "1 - ZETA * (1 - 1.7 * ZETA * FCX))",
                        fc.c_str()));
        }
    }

    void writePan() {
        if (pan_.isZero()) {
            // Centre: the reference's constant-power law gives each side -3 dB.
            line("OUT = OUT * 0.7071068");
            return;
        }
        line(format("PANDIR = %s", pan_.text("%.1f").c_str()));
        line("PANANGLE = (SAT(PANDIR * 0.02) + 1) * 0.7853982");
        line("OUT = GAINS(OUT, COS(PANANGLE), SIN(PANANGLE))");
    }

    const MergedZone& zone_;
    const ZoneGenerators& g_;
    const LayerSample& sample_;
    const ImportLog& log_;
    std::string lines_;
    bool velocityTrackingOff_ = false;
    bool usesModLfo_ = false, usesVibLfo_ = false, usesModEnv_ = false;
    Value modLfoToPitch_, vibLfoToPitch_, modEnvToPitch_, pitchCents_;
    Value filterCents_, filterQ_, modLfoToFc_, modEnvToFc_;
    Value modLfoToVolume_, pan_, attenuation_;
    std::string volumeEnvelope_ = "1";
    std::string pitchCentsText_ = "0";
    std::string gainDbText_ = "0";
};

}  // namespace

bool writeLayer(const MergedZone& zone, const LayerSample& sample, const ImportLog& log,
                std::string& text) {
    LayerBuilder builder(zone, sample, log);
    return builder.build(text);
}

}  // namespace tess::sf2
