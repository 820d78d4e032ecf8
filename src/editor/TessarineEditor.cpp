#include "editor/TessarineEditor.h"

#include <cstdio>
#include <mutex>

#include "compiler/InstrumentCompiler.h"
#include "editor/EditorActions.h"
#include "platform/Platform.h"
#include "plugin/Tessarine.h"

namespace tess {

using editor::ControlEvent;
namespace id = editor::id;

TessarineEditor::TessarineEditor(Tessarine* plugin, int width, int height)
    : AEffEditor(plugin), plugin_(plugin), width_(width), height_(height) {}

TessarineEditor::~TessarineEditor() {
    if (isOpen()) close();
}

bool TessarineEditor::canOpenWindow() { return editor::platformHasView(); }

bool TessarineEditor::getRect(vst::ERect** rect) {
    int width = width_;
    int height = height_;
    if (!isOpen()) {
        // The size the controls of the loaded instrument will need once the window opens.
        const editor::Layout planned = editor::layoutEditor(editor::layoutInputFor(plugin(), width_, height_));
        width = planned.width;
        height = planned.height;
    }
    rect_.top = 0;
    rect_.left = 0;
    rect_.bottom = static_cast<std::int16_t>(height);
    rect_.right = static_cast<std::int16_t>(width);
    *rect = &rect_;
    return true;
}

bool TessarineEditor::open(void* parentWindow) {
    if (isOpen()) return true;
    std::lock_guard<std::recursive_mutex> loads(plugin().loadMutex);
    if (!view_) view_ = editor::createPlatformView();
    if (!view_ || !view_->open(parentWindow, width_, height_, *this)) {
        view_.reset();
        return false;
    }
    AEffEditor::open(parentWindow);
    relayout_ = resizeRequested_ = false;
    if (importShown_) {
        // An import that ran on while the window was closed is shown again.
        showImport();
        return true;
    }
    rebuild(width_, height_);
    // Nothing loaded yet: the first idle compiles Settings.ini alone (or restores a state).
    loadRequested_ = plugin().instrumentPath.size() < 2;
    plugin().appendLog(Log::kMain, "Ready.\r\n");
    return true;
}

void TessarineEditor::close() {
    if (view_) view_->close();
    view_.reset();
    layout_ = editor::Layout{};
    shown_ = editor::ShownState{};
    panels_.clear();
    importRequested_ = false;
    AEffEditor::close();
}

void TessarineEditor::setSize(int width, int height) {
    width_ = width;
    height_ = height;
}

void TessarineEditor::requestRedraw() { relayout_ = true; }

void TessarineEditor::instrumentLoaded() {
    relayout_ = true;
    if (view_) view_->requestRebuild();
}

void TessarineEditor::rebuild(int width, int height) {
    layout_ = editor::layoutEditor(editor::layoutInputFor(plugin(), width, height));
    width_ = layout_.width;
    height_ = layout_.height;
    panels_.clear();
    const int panels = plugin().compiler->instrument().common.sampleUiCount;
    for (int p = 0; p < panels && p < id::kMaxPanels; ++p) panels_.push_back(editor::panelFromSlot(plugin(), p));
    view_->show(layout_);
    shown_ = editor::ShownState{};
    refresh();
    if (layout_.panes) plugin().log.changed = 1;
    refreshPanes();
    if (!view_->parentSize(lastParentWidth_, lastParentHeight_)) lastParentWidth_ = lastParentHeight_ = -1;
    if (width_ != hostWidth_ || height_ != hostHeight_) {
        hostWidth_ = width_;
        hostHeight_ = height_;
        plugin().callHost(vst::audioMasterSizeWindow, width_, height_);
    }
}

void TessarineEditor::refreshSliders() {
    if (!isOpen()) return;
    for (const editor::Control& control : layout_.controls) {
        const int index = id::sliderOf(control.id);
        if (index < 0) continue;
        showText(id::sliderCaption(index), editor::sliderCaption(plugin(), index));
        const int position = editor::sliderPosition(plugin(), index);
        view_->setValue(control.id, position);
        shown_.values[control.id] = position;
    }
}

void TessarineEditor::faderMoved(int index, int position) {
    editor::moveFader(plugin(), index, position);
    if (!isOpen()) return;
    showText(id::sliderCaption(index), editor::sliderCaption(plugin(), index));
    // The slider shows where the user put it; later idles follow the parameter.
    shown_.values[id::slider(index)] = editor::sliderPosition(plugin(), index);
}

void TessarineEditor::showText(int control, const std::string& text) {
    view_->setText(control, text);
    shown_.texts[control] = text;
}

void TessarineEditor::applyChanges(const editor::ShownState& changes) {
    for (const auto& [control, text] : changes.texts) showText(control, text);
    for (const auto& [control, value] : changes.values) {
        view_->setValue(control, value);
        shown_.values[control] = value;
    }
}

void TessarineEditor::refresh() {
    editor::ShownState now = editor::readShownState(plugin(), layout_, panels_);
    applyChanges(editor::changedEntries(shown_, now));
}

void TessarineEditor::refreshPanes() {
    Log& log = plugin().log;
    if (!layout_.panes || log.changed == 0 || log.debugLevel < 1) return;
    log.changed = 0;
    view_->setText(id::kLogPane, std::string(log.main.view()));
    view_->setText(id::kProgramPane, std::string(log.program.view()));
}

void TessarineEditor::idle() {
    if (!isOpen()) return;
    view_->handleEvents();
    if (!isOpen()) return;
    if (importRequested_) {
        importRequested_ = false;
        startImport();
        if (!isOpen()) return;
    }
    if (importShown_) {
        importSteps();
    } else {
        // A load on another thread (the file watcher, the host) replaces what the editor shows:
        // these steps are skipped, and the next idle after the load shows the new instrument.
        std::unique_lock<std::recursive_mutex> loads(plugin().loadMutex, std::try_to_lock);
        if (loads.owns_lock()) idleSteps();
    }
    if (isOpen()) view_->present();
}

void TessarineEditor::idleSteps() {
    int parentWidth = 0;
    int parentHeight = 0;
    if (view_->parentSize(parentWidth, parentHeight) &&
        (parentWidth != lastParentWidth_ || parentHeight != lastParentHeight_)) {
        lastParentWidth_ = parentWidth;
        lastParentHeight_ = parentHeight;
        // The host gave the editor another size: lay out for it.
        if (parentWidth != width_ || parentHeight != height_) {
            rebuild(parentWidth, parentHeight);
            plugin().callHost(vst::audioMasterUpdateDisplay);
        }
    }
    if (loadRequested_) {
        loadRequested_ = false;
        plugin().loadInstrument(plugin().instrumentPath, plugin().restoreFlag != 0 ? -1 : 1);
    }
    if (resizeRequested_) resizeSteps();
    if (relayout_) {
        relayout_ = false;
        rebuild(width_, height_);
        plugin().callHost(vst::audioMasterUpdateDisplay);
        refreshSliders();
    }
    refresh();
    refreshPanes();
}

void TessarineEditor::rebuildDue() {
    if (!isOpen()) return;
    if (importRequested_) {
        importRequested_ = false;
        startImport();
    }
    if (importShown_) return;
    std::unique_lock<std::recursive_mutex> loads(plugin().loadMutex, std::try_to_lock);
    if (!loads.owns_lock()) return;  // the next idle rebuilds
    if (resizeRequested_) resizeSteps();
    if (relayout_) {
        relayout_ = false;
        rebuild(width_, height_);
        refreshSliders();
    }
}

// "Resize": lays out slightly smaller and then at the full size, so that a host that missed a
// size change draws the editor again.
void TessarineEditor::resizeSteps() {
    resizeRequested_ = false;
    relayout_ = false;
    const compiler::CommonSettings& common = plugin().compiler->instrument().common;
    if (plugin().log.debugLevel > 2) {
        const editor::WindowSizes sizes = view_->windowSizes();
        Log& log = plugin().log;
        log.appendf(Log::kMain, "mainwindow: %d x %d\r\n", sizes.mainWidth, sizes.mainHeight);
        log.appendf(Log::kMain, "mainwindow parent: %d x %d\r\n", sizes.parentWidth, sizes.parentHeight);
        log.appendf(Log::kMain, "systemWindow: %d x %d\r\n", sizes.parentWidth, sizes.parentHeight);
        log.appendf(Log::kMain, "systemWindow parent: %d x %d\r\n", sizes.grandparentWidth, sizes.grandparentHeight);
    }
    rebuild(common.editorWidth - 8, common.editorHeight - 8);
    idleSteps();
    rebuild(common.editorWidth, common.editorHeight);
    idleSteps();
}

void TessarineEditor::reload(std::string path, const char* message) {
    char text[600];
    std::snprintf(text, sizeof text, message, path.c_str());
    showText(id::kCurrentFile, text);
    view_->updateNow();
    editor::loadChosenInstrument(plugin(), path);
    resizeRequested_ = true;
    view_->requestRebuild();
}

void TessarineEditor::browse() {
    plugin().appendLog(Log::kMain, "Please select an input file...\r\n");
    const std::optional<std::string> chosen =
        view_->chooseFile(plugin().userFolder, {{"Instrument files", "*.txt"}, {"All", "*.*"}});
    if (!chosen) {
        plugin().appendLog(Log::kMain, "User cancelled the operation...\r\n");
        return;
    }
    reload(*chosen, "LOADING FILE %s, PLEASE WAIT...");
}

void TessarineEditor::panelEvent(const ControlEvent& event, int panel, int part) {
    if (panel >= static_cast<int>(panels_.size())) return;
    editor::SamplePanel& settings = panels_[static_cast<std::size_t>(panel)];
    if (part == id::kPanelBrowse && event.kind == ControlEvent::Kind::Clicked) {
        const std::string& folder = plugin().instrumentFolder.empty() ? plugin().userFolder : plugin().instrumentFolder;
        const std::optional<std::string> chosen =
            view_->chooseFile(folder, {{"Audio files", "*.wav;*.aif;*.aiff"}, {"All", "*.*"}});
        if (chosen) editor::choosePanelFile(plugin(), settings, *chosen);
    } else if (part == id::kPanelType && event.kind == ControlEvent::Kind::SelectionChanged) {
        editor::choosePanelSampleType(plugin(), settings, event.value);
    } else if (part == id::kPanelNormalisation && event.kind == ControlEvent::Kind::SelectionChanged) {
        editor::choosePanelNormalisation(plugin(), settings, event.value);
    } else if (part >= id::kPanelFieldFirst && part < id::kPanelFieldFirst + 10 &&
               event.kind == ControlEvent::Kind::TextCommitted) {
        // The box shows what it was given unless the value is taken.
        const auto field = static_cast<editor::PanelField>(part - id::kPanelFieldFirst);
        if (!editor::editPanelField(plugin(), settings, field, event.text)) shown_.texts.erase(event.id);
    }
}

// "SF2 bulk import": the import's controls replace the editor's, the user chooses a bank, and
// the import runs on its own thread while the plug-in goes on playing. "OK" at the end brings
// the editor's controls back.
void TessarineEditor::startImport() {
    if (import_.running()) return;
    importText_.clear();
    importEnded_ = false;
    importShown_ = true;
    showImport();
    appendImportText("Please select a soundfont 2.x file...\r\n");
    view_->updateNow();
    const std::optional<std::string> bank =
        view_->chooseFile(plugin().userFolder, {{"SoundFont 2.x", "*.sf2"}, {"All", "*.*"}});
    if (!isOpen()) return;
    if (!bank) {
        appendImportText("User cancelled the operation...\r\nProcess terminated.\r\n");
        endImport();
        return;
    }
    sf2::ImportRequest request;
    request.bankPath = *bank;
    request.outputFolder = plugin().userFolder + platform::pathSeparator() + "Imported";
    request.debugLevel = plugin().log.debugLevel;
    import_.start(request);
}

void TessarineEditor::showImport() {
    layout_ = editor::layoutImport(width_, height_);
    panels_.clear();
    shown_ = editor::ShownState{};
    view_->show(layout_);
    if (importEnded_) view_->setText(id::kImportButton, editor::texts::kImportDone);
    view_->setText(id::kImportPane, importText_);
}

void TessarineEditor::appendImportText(const std::string& text) {
    if (text.empty()) return;
    importText_ += text;
    if (importText_.size() >= LogText::kCapacity) importText_.erase(0, importText_.size() - LogText::kCapacity + 1);
    if (isOpen()) view_->setText(id::kImportPane, importText_);
}

void TessarineEditor::importSteps() {
    appendImportText(import_.takeText());
    if (!import_.finished()) return;
    const sf2::ImportSummary summary = import_.finish();
    appendImportText(import_.takeText());
    if (summary.succeeded)
        plugin().log.appendf(Log::kMain, "SoundFont import: %d presets written to %sImported\r\n", summary.presets,
                             (plugin().userFolder + platform::pathSeparator()).c_str());
    endImport();
}

void TessarineEditor::endImport() {
    importEnded_ = true;
    view_->setText(id::kImportButton, editor::texts::kImportDone);
}

void TessarineEditor::controlEvent(const ControlEvent& event) {
    if (!isOpen()) return;
    if (importShown_) {
        // Only "OK" at the end of the import does something.
        if (event.id == id::kImportButton && event.kind == ControlEvent::Kind::Clicked && importEnded_) {
            // The editor's controls come back once the click is over.
            importShown_ = false;
            relayout_ = true;
            view_->requestRebuild();
        }
        return;
    }
    std::lock_guard<std::recursive_mutex> loads(plugin().loadMutex);
    using Kind = ControlEvent::Kind;
    const int slider = id::sliderOf(event.id);
    const int keyswitch = id::keyswitchOf(event.id);
    const int panel = id::panelOf(event.id);
    if (event.kind == Kind::SliderMoved && slider >= 0) {
        faderMoved(slider, event.value);
    } else if (event.kind == Kind::SelectionChanged && keyswitch >= 0) {
        editor::chooseKeyswitch(plugin(), keyswitch, event.value);
    } else if (event.kind == Kind::SelectionChanged && event.id == id::kTemperamentCombo) {
        editor::chooseTemperament(plugin(), event.value);
    } else if (panel >= 0) {
        panelEvent(event, panel, id::panelPartOf(event.id));
    } else if (event.kind == Kind::Clicked) {
        switch (event.id) {
            case id::kResize:
                resizeRequested_ = true;
                view_->requestRebuild();
                break;
            case id::kReload: reload(plugin().instrumentPath, "RELOADING FILE %s, PLEASE WAIT..."); break;
            case id::kBrowse:
            case id::kCurrentFile: browse(); break;
            case id::kSoundFontImport:
                // The import's controls replace every control, this button too: not inside
                // its own click.
                importRequested_ = true;
                view_->requestRebuild();
                break;
            case id::kLogClear:
            case id::kProgramClear:
                editor::clearPane(plugin(), event.id == id::kLogClear ? Log::kMain : Log::kProgram);
                view_->setText(event.id == id::kLogClear ? id::kLogPane : id::kProgramPane, {});
                break;
            default: break;
        }
    }
    refresh();
    view_->present();
}

}  // namespace tess
