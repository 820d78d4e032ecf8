#include "editor/EditorModel.h"

#include <cinttypes>
#include <cstdio>

#include "compiler/InstrumentCompiler.h"
#include "plugin/Tessarine.h"

namespace tess::editor {

namespace {

std::string printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string printedFrames(std::int64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    return text;
}

// The panel's sample type combo: one-shot types 0 .. 3, looped types 4 .. 7.
int sampleType(const SampleRequest& request) { return request.direction % 4 + (request.looped == 1 ? 0 : 4); }

}  // namespace

SamplePanel panelFromSlot(const Tessarine& plugin, int entry) {
    SamplePanel panel;
    panel.entry = entry;
    const compiler::CommonSettings& common = plugin.compiler->instrument().common;
    if (entry < 0 || entry >= common.sampleUiCount) return panel;
    panel.slot = common.sampleUi[entry].slot;
    const SampleSlot* slot = plugin.samples->find(panel.slot);
    if (slot == nullptr || slot->kind != SampleSlot::kSampled) return panel;
    SampleRequest& r = panel.request;
    r.fileName = slot->fileName;
    r.normalisation = slot->normalisation;
    r.centreNote = slot->centreNote;
    r.looped = slot->looped;
    r.direction = slot->direction;
    r.start = slot->fileStart;
    r.end = slot->fileEnd;
    r.release = slot->releasePoint == SampleSlot::kNoRelease ? SampleSlot::kNoRelease
                                                              : slot->fileStart + slot->releasePoint;
    r.loopStart = slot->fileLoopStart;
    r.loopEnd = slot->fileLoopEnd;
    r.crossfades = slot->crossfades;
    return panel;
}

LayoutInput layoutInputFor(Tessarine& plugin, int width, int height) {
    const compiler::CompiledInstrument& instrument = plugin.compiler->instrument();
    LayoutInput input;
    input.width = width;
    input.height = height;
    input.sliderCount = instrument.common.numVstVars;
    input.debugLevel = plugin.log.debugLevel;
    for (int k = 0; k < instrument.keyswitches.count; ++k) {
        const compiler::Keyswitch& ks = instrument.keyswitches.entries[static_cast<std::size_t>(k)];
        KeyswitchRow row;
        row.name = ks.name;
        const int options = ks.type == 0 ? ks.key2 - ks.key1 + 1 : ks.max - ks.min + 1;
        for (int o = 0; o < options && o < compiler::Keyswitch::kMaxOptions; ++o) row.options.push_back(ks.options[o]);
        input.keyswitches.push_back(std::move(row));
    }
    for (int t = 0; t < instrument.temperaments.count(); ++t)
        input.temperaments.emplace_back(instrument.temperaments.name(t));
    for (int p = 0; p < instrument.common.sampleUiCount; ++p) {
        const compiler::SampleUiEntry& entry = instrument.common.sampleUi[p];
        input.panels.push_back({entry.caption, entry.x, entry.y});
    }
    input.overrides = instrument.common.uiOverrides;
    input.overrideCount = compiler::CommonSettings::kUiItems;
    return input;
}

std::string sliderCaption(Tessarine& plugin, int index) {
    // Generous buffers: a host gives 8 characters, but a display may be longer.
    char name[256] = {};
    char display[256] = {};
    char label[256] = {};
    plugin.getParameterName(index, name);
    plugin.getParameterDisplay(index, display);
    plugin.getParameterLabel(index, label);
    return std::string(name) + " " + display + " " + label;
}

int sliderPosition(Tessarine& plugin, int index) {
    return static_cast<int>(plugin.getParameter(index) * 10000.0f);
}

int keyswitchOption(const Tessarine& plugin, int keyswitch) {
    const compiler::KeyswitchTable& table = plugin.compiler->instrument().keyswitches;
    if (keyswitch < 0 || keyswitch >= table.count) return -1;
    const compiler::Keyswitch& ks = table.entries[static_cast<std::size_t>(keyswitch)];
    const ControllerSpace& controllers = plugin.engine.controllers;
    if (ks.type == 0) {
        for (int key = ks.key1; key <= ks.key2; ++key)
            if (controllers.keyswitch(key) > 0) return key - ks.key1;
        return -1;
    }
    const int option = controllers.keyswitch(ks.key1) - ks.min;
    return option >= 0 && option <= ks.max - ks.min ? option : -1;
}

std::string polyText(const Tessarine& plugin) {
    int sounding = 0;
    for (int v = 0; v < VoiceTable::kNoteVoices; ++v)
        if (plugin.engine.voices[v].level > 0.0f) ++sounding;
    const PedalState& pedals = plugin.engine.controllers.pedals;
    char text[32];
    std::snprintf(text, sizeof text, "Poly: %d%s", sounding, pedals.pedalAll || pedals.pedalRange ? "+P" : "");
    return text;
}

std::string currentFileText(const Tessarine& plugin) {
    if (plugin.instrumentPath.size() < 2) return texts::kNoFile;
    return "Current file: " + plugin.instrumentPath;
}

ShownState readShownState(Tessarine& plugin, const Layout& layout, const std::vector<SamplePanel>& panels) {
    ShownState state;
    state.texts[id::kCurrentFile] = currentFileText(plugin);
    state.texts[id::kPoly] = polyText(plugin);
    const Transport& transport = plugin.engine.transport;
    state.texts[id::kTempo] = printed("%.2f BPM", static_cast<double>(transport.tempo));
    char metre[64];
    std::snprintf(metre, sizeof metre, "%.0f / %.0f", static_cast<double>(transport.numerator),
                  static_cast<double>(transport.denominator));
    state.texts[id::kTimeSignature] = metre;
    state.values[id::kTemperamentCombo] = plugin.notes.temperament();

    for (const Control& control : layout.controls) {
        const int slider = id::sliderOf(control.id);
        if (slider >= 0) {
            state.values[control.id] = sliderPosition(plugin, slider);
            state.texts[id::sliderCaption(slider)] = sliderCaption(plugin, slider);
        }
        const int keyswitch = id::keyswitchOf(control.id);
        if (keyswitch >= 0) state.values[control.id] = keyswitchOption(plugin, keyswitch);
    }

    for (const SamplePanel& panel : panels) {
        const SampleRequest& r = panel.request;
        const int p = panel.entry;
        state.texts[id::panelPart(p, id::kPanelFile)] =
            "Sample file: " + (r.fileName.empty() ? std::string("(none)") : r.fileName);
        state.values[id::panelPart(p, id::kPanelType)] = sampleType(r);
        state.values[id::panelPart(p, id::kPanelNormalisation)] = r.normalisation;
        const std::int64_t frames[9] = {r.start,     r.end,           r.loopStart,     r.loopEnd, r.release,
                                        r.crossfades[0], r.crossfades[1], r.crossfades[2], r.looped};
        state.texts[id::panelPart(p, id::kPanelFieldFirst)] = printed("%f", static_cast<double>(r.centreNote));
        for (int f = 1; f < 10; ++f)
            state.texts[id::panelPart(p, id::kPanelFieldFirst + f)] = printedFrames(frames[f - 1]);
    }
    return state;
}

ShownState changedEntries(const ShownState& shown, const ShownState& now) {
    ShownState changed;
    for (const auto& [control, text] : now.texts) {
        const auto it = shown.texts.find(control);
        if (it == shown.texts.end() || it->second != text) changed.texts[control] = text;
    }
    for (const auto& [control, value] : now.values) {
        const auto it = shown.values.find(control);
        if (it == shown.values.end() || it->second != value) changed.values[control] = value;
    }
    return changed;
}

}  // namespace tess::editor
