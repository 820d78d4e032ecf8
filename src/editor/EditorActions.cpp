#include "editor/EditorActions.h"

#include <algorithm>
#include <cmath>

#include "compiler/InstrumentCompiler.h"
#include "compiler/Text.h"
#include "editor/ParameterLinks.h"
#include "plugin/Tessarine.h"
#include "samples/SampleDirective.h"

namespace tess::editor {

void moveFader(Tessarine& plugin, int index, int position) {
    if (index < 0 || index >= id::kMaxSliders) return;
    position = std::clamp(position, 0, 10000);
    if (plugin.log.debugLevel > 2) plugin.log.appendf(Log::kMain, "New fader value: %d %d\r\n", index, position);
    plugin.setParameterAutomated(index, static_cast<float>(position) * 0.0001f);
}

bool chooseKeyswitch(Tessarine& plugin, int keyswitch, int option) {
    const compiler::KeyswitchTable& table = plugin.compiler->instrument().keyswitches;
    if (keyswitch < 0 || keyswitch >= table.count) return false;
    if (!plugin.notes.chooseKeyswitchOption(keyswitch, option, plugin.engine.sampleClock)) return false;
    if (plugin.log.debugLevel > 1) {
        const compiler::Keyswitch& ks = table.entries[static_cast<std::size_t>(keyswitch)];
        plugin.log.appendf(Log::kMain, "KEYSWITCH %s set to: %s (%d) IN THE GUI.\r\n", ks.name, ks.options[option],
                           option);
    }
    return true;
}

bool chooseTemperament(Tessarine& plugin, int index) {
    const compiler::TemperamentTable& table = plugin.compiler->instrument().temperaments;
    if (index < 0 || index >= table.count()) return false;
    Log& log = plugin.log;
    if (log.debugLevel > 1) {
        const std::string_view name = table.name(index);
        log.appendf(Log::kMain, "TEMPERAMENT set to: %.*s (%d) IN THE GUI.\r\n", static_cast<int>(name.size()),
                    name.data(), index);
    }
    plugin.notes.selectTemperament(index);

    const int link = table.link;
    const std::int64_t now = plugin.engine.sampleClock;
    if (link >= 0 && link < 200) {
        if (log.debugLevel > 1)
            log.appendf(Log::kMain, "TEMPERAMENT is linked with MIDI CC #%d. Setting value to %d...\r\n", link, index);
        const float value = static_cast<float>(index);
        plugin.engine.controllers.writeMidi(link, value, now);
        plugin.noteOff(-1, -1, now, -1, 0.0f, link, value, 0);
        const int parameter = parameterFollowingController(plugin, link);
        if (parameter >= 0) plugin.setParameterAutomated(parameter, value / 127.0f);
    } else if (link >= mcc::kVstVarBase && link < mcc::kVstVarBase + ControllerSpace::kVstVars) {
        const int parameter = link - mcc::kVstVarBase;
        if (log.debugLevel > 1)
            log.appendf(Log::kMain, "TEMPERAMENT is linked with VST VAR #%d. Setting value to %d...\r\n", parameter,
                        index);
        setParameterFromInternalValue(plugin, parameter, static_cast<float>(index));
    }
    return true;
}

void clearPane(Tessarine& plugin, int pane) {
    (pane == Log::kProgram ? plugin.log.program : plugin.log.main).clear();
    plugin.log.changed = 1;
}

bool loadChosenInstrument(Tessarine& plugin, const std::string& path) {
    const bool read = plugin.selectInstrument(path);
    const int count = std::min(plugin.getAeffect()->numParams, id::kMaxSliders);
    for (int i = 0; i < count; ++i) plugin.setParameterAutomated(i, plugin.getParameter(i));
    return read;
}

namespace {

// A whole number of frames, truncated toward zero; false for text that is not one number.
bool parseNumber(const std::string& text, double& value) {
    const std::string_view trimmed = compiler::trimBlanks(text);
    if (!compiler::isWholeNumber(trimmed)) return false;
    compiler::readDecimal(trimmed, &value);
    return std::isfinite(value);
}

std::int64_t frames(double value) {
    constexpr double kLimit = 1e15;
    return static_cast<std::int64_t>(std::clamp(value, -kLimit, kLimit));
}

}  // namespace

bool editPanelField(Tessarine& plugin, SamplePanel& panel, PanelField field, const std::string& text) {
    const int number = static_cast<int>(field);
    plugin.log.appendf(Log::kMain, "Edit box %d set to \"%s\"\r\n", number, text.c_str());
    double value = 0.0;
    if (!parseNumber(text, value)) {
        plugin.log.appendf(Log::kMain, "Edit box %d: \"%s\" is not a number, value kept.\r\n", number, text.c_str());
        return false;
    }
    SampleRequest& r = panel.request;
    switch (field) {
        case PanelField::CentreNote: r.centreNote = std::clamp(static_cast<float>(value), 0.0f, 128.0f); break;
        case PanelField::Start: r.start = frames(value); break;
        case PanelField::End: r.end = frames(value); break;
        case PanelField::LoopStart: r.loopStart = frames(value); break;
        case PanelField::LoopEnd: r.loopEnd = frames(value); break;
        case PanelField::Release: r.release = frames(value); break;
        case PanelField::Crossfade: r.crossfades[0] = compiler::toIntSaturated(value); break;
        case PanelField::CrossfadeForwardBackward: r.crossfades[1] = compiler::toIntSaturated(value); break;
        case PanelField::CrossfadeRelease: r.crossfades[2] = compiler::toIntSaturated(value); break;
        case PanelField::Loops: r.looped = std::max(0, compiler::toIntSaturated(value)); break;
    }
    rebuildPanelSlot(plugin, panel);
    return true;
}

void choosePanelSampleType(Tessarine& plugin, SamplePanel& panel, int type) {
    if (type < 0 || type > 7) return;
    SampleRequest& r = panel.request;
    r.direction = type % 4;
    if (type < 4)
        r.looped = 1;  // one shot
    else if (r.looped == 1)
        r.looped = 0;  // looped without limit
    plugin.log.appendf(Log::kMain, "Sample type set to %d\r\n", type);
    rebuildPanelSlot(plugin, panel);
}

void choosePanelNormalisation(Tessarine& plugin, SamplePanel& panel, int mode) {
    if (mode < 0 || mode > 4) return;
    panel.request.normalisation = mode;
    plugin.log.appendf(Log::kMain, "Normalization mode set to %d\r\n", mode);
    rebuildPanelSlot(plugin, panel);
}

void choosePanelFile(Tessarine& plugin, SamplePanel& panel, const std::string& path) {
    panel.request.fileName = path;
    rebuildPanelSlot(plugin, panel);
}

bool rebuildPanelSlot(Tessarine& plugin, SamplePanel& panel) {
    if (panel.request.fileName.empty()) return false;
    if (panel.entry < 0 || panel.entry >= static_cast<int>(plugin.samplePanelRecords.size())) return false;
    SampleContext context = plugin.sampleContext;
    context.halfWidth = plugin.compiler->instrument().common.quality.zeroCrossings;
    // The audio callbacks stay out of the sample bank while the slot is replaced.
    AudioThreadGuard::LoadScope load(plugin.audioGuard);
    return loadPanelSample(*plugin.samples, panel.slot, panel.request, context, plugin.log,
                           plugin.samplePanelRecords[static_cast<std::size_t>(panel.entry)]);
}

}  // namespace tess::editor
