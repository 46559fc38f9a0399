// Showing the pages and the section pages. Every view exists from open() to close(); a page
// switch detaches every view from the frame and attaches the page's views, and a section
// rebuild empties its container and attaches the views of the section's current state
// (a layer's source model, the Mod FX mode, LFO 1 or 2, matrix or velocity split, the chord).
// The mode-change handlers keep per-mode memories of the distortion and Mod FX knobs.
#include <algorithm>
#include <cmath>
#include <string>

#include "controls/TArpScreen.h"
#include "controls/TChordScreen.h"
#include "controls/TGatorDisplay.h"
#include "controls/TKickButton.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TLine.h"
#include "controls/TMenuButton.h"
#include "controls/TModScreen.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "controls/THSlider.h"
#include "controls/TVelSplitScreen.h"
#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr int kDistortModeTag = 347;
constexpr int kModFXModeTag = 349;
constexpr int kDistortTags[3] = {104, 105, 106};
constexpr int kModFXTags[7] = {107, 108, 109, 110, 111, 112, 350};
constexpr int kGatorMode = 10;
constexpr float kSemiRange = 96.99f;
constexpr int kSemiSteps = 97;

// Backgrounds of the layer containers per source model.
constexpr int MAIN_LAYER_RIGHT_BG[4] = {10020, 10021, 10022, 10023};
constexpr int MAIN_LAYER_LEFT_BG[4] = {10024, 10025, 10026, 10027};
constexpr int EASY_LAYER_LEFT_BG[4] = {10030, 10031, 10032, 10033};
constexpr int EASY_LAYER_RIGHT_BG[4] = {10034, 10035, 10036, 10367};

int clampIndex(int v, int count) { return v < 0 ? 0 : (v >= count ? count - 1 : v); }

// Adds a view to a container unless it is null or already shown somewhere.
void show(CViewContainer* parent, CView* view) {
    if (!parent || !view || view->getParentView()) return;
    view->remember();
    if (!parent->addView(view)) view->forget();
}

template <class T, size_t N>
void showAll(CViewContainer* parent, T* const (&views)[N]) {
    for (T* v : views) show(parent, v);
}

void empty(CViewContainer* c) {
    if (!c) return;
    if (c->getNbViews() > 0) c->removeAll(true);
    c->invalid();
}

void setText(TLabel* label, const char* text) {
    if (!label) return;
    label->setString(text ? text : "");
    label->invalid();
}

template <class T>
void setOn(T* view, bool on) {
    if (view) view->setOn(on);
}

} // namespace

// ---- the pages --------------------------------------------------------------------------

void uEditor::collectSectionViews(std::vector<CView*>& out) const {
    out.clear();
    auto add = [&out](CView* v) {
        if (v) out.push_back(v);
    };
    auto addRow = [&](auto* const* row, int n) {
        for (int i = 0; i < n; ++i) add(row[i]);
    };
    for (int l = 0; l < 3; ++l) {
        addRow(layerKnobs[l], 57);
        addRow(layerKnobLabels[l], 58);
        addRow(easyLayerKnobs[l], 41);
        addRow(easyLayerLabels[l], 42);
        for (CView* v : {(CView*)scopesMain[l], (CView*)layerThinOnOffs[l], (CView*)layerThinLabels[l],
                         (CView*)layerFilterTitles[l], (CView*)layerFilterButtons[l], (CView*)layerFreeOnOffs[l],
                         (CView*)layerFreeLabels[l], (CView*)layerDriftOnOffs[l], (CView*)layerDriftLabels[l],
                         (CView*)layerFMModeLabels[l], (CView*)layerFMModeMenus[l], (CView*)layerSemiLabels[l],
                         (CView*)layerSemiMenus[l], (CView*)layerFilterLabels[l], (CView*)layerFilterModeMenus[l],
                         (CView*)layerWaveMenus[l], (CView*)scopesEasy[l], (CView*)easyLayerFilterTitles[l],
                         (CView*)easyLayerFilterButtons[l], (CView*)easyLayerFMModeLabels[l],
                         (CView*)easyLayerFMModeMenus[l], (CView*)easyLayerSemiLabels[l],
                         (CView*)easyLayerSemiMenus[l], (CView*)easyLayerFilterLabels[l],
                         (CView*)easyLayerFilterModeMenus[l], (CView*)easyLayerWaveMenus[l]})
            add(v);
    }
    addRow(modFXKnobs, 6);
    addRow(modFXKnobLabels, 6);
    addRow(gatorDisplays, 2);
    addRow(gatorLabels, 2);
    addRow(easyModFXKnobs, 4);
    addRow(easyModFXLabels, 4);
    addRow(easyGatorDisplays, 2);
    addRow(easyGatorLabels, 2);
    for (int s = 0; s < 2; ++s) {
        addRow(lfoLabels[s], 4);
        for (CView* v : {(CView*)lfoWaveMenus[s], (CView*)lfoModeMenus[s], (CView*)lfoSpeedKnobs[s],
                         (CView*)lfoSyncOnOffs[s]})
            add(v);
    }
    addRow(modMatrixLabels, 4);
    addRow(velSplitLabels, 4);
    addRow(velSplitLayerRadios, 3);
    for (int l = 0; l < 3; ++l) addRow(velSplitFields[l], 4);
    add(velSplitScreen);
    add(modScreen);
    for (int c = 0; c < 4; ++c)
        for (CView* v : {(CView*)chordNotesMenus[c], (CView*)chordNotesLabels[c], (CView*)chordStrumKnobs[c],
                         (CView*)chordStrumLabels[c], (CView*)chordSyncOnOffs[c], (CView*)chordSyncLabels[c],
                         (CView*)easyChordStrumKnobs[c], (CView*)easyChordStrumLabels[c],
                         (CView*)easyChordSyncOnOffs[c], (CView*)easyChordSyncLabels[c]})
            add(v);
    add(chordModeMenu);
    add(chordModeLabel);
    add(strumMenuButton);
    // The top strip and the ribbon group are shown on both front pages by name.
    addRow(topLabels, 6);
    for (CView* v : {(CView*)presetMenu, (CView*)folderMenu, (CView*)previewButton, (CView*)editedButton,
                     (CView*)origButton, (CView*)ecsMenuButton, (CView*)helpButton, (CView*)screenSwitchArea,
                     (CView*)backPageArea, (CView*)controlMenuButton, (CView*)paramNameReadout,
                     (CView*)paramValueReadout, (CView*)ribbonSpringMenu, (CView*)ribbonQuantMenu,
                     (CView*)ribbonSlider, (CView*)ribbonOnOff})
        add(v);
    addRow(ribbonLabels, 3);
    std::sort(out.begin(), out.end());
}

void uEditor::attachPageControls(int page, const std::vector<CView*>& sectionViews) {
    // The page's own controls in creation order, but for those that live in a section
    // container or belong to the shared groups.
    std::vector<CView*> inContainers;
    for (const MainView& v : mainViews)
        if (v.container >= 0) inContainers.push_back(v.view);
    std::sort(inContainers.begin(), inContainers.end());
    for (int i = 0; i < controlCount; ++i) {
        CControl* c = controls[i];
        if (!c || controlPage[i] != page) continue;
        if (std::binary_search(sectionViews.begin(), sectionViews.end(), static_cast<CView*>(c))) continue;
        if (std::binary_search(inContainers.begin(), inContainers.end(), static_cast<CView*>(c))) continue;
        // A radio shows whether its group's page is the one selected.
        if (auto* radio = dynamic_cast<TRadioButton*>(c)) {
            const int selection[5] = {selectedLFO, modViewPage, selectedChord, chordViewMode, velSplitLayer};
            const int g = radio->getGroup();
            if (g >= 0 && g < 5) radio->setState(radio->getIndex() == selection[g]);
        }
        show(frame, c);
    }
}

void uEditor::showRecorded(int container, int page) {
    CViewContainer* parent = container < 0 ? frame : containers[container];
    if (!parent) return;
    for (const MainView& v : mainViews)
        if (v.container == container && (v.pages & (1u << page))) show(parent, v.view);
}

void uEditor::showTop() {
    if (!frame) return;
    showAll(frame, topLabels);
    for (CView* v : {(CView*)presetMenu, (CView*)folderMenu, (CView*)previewButton, (CView*)editedButton,
                     (CView*)origButton, (CView*)ecsMenuButton, (CView*)helpButton, (CView*)screenSwitchArea,
                     (CView*)backPageArea, (CView*)controlMenuButton, (CView*)paramNameReadout,
                     (CView*)paramValueReadout})
        show(frame, v);
}

void uEditor::showMainScreen() {
    if (!plugin || !frame || switchingScreen) return;
    switchingScreen = 1;
    frame->removeAll(true);
    frame->invalid();
    frame->setBackground(getEditorBitmap(10000));
    screenMode = kPageMain;
    setRegOn(REG_ADVANCE_DISPLAY_STR);

    for (Container c : {kLayerRight0, kLayerLeft0, kLayerRight1, kLayerLeft1, kLayerRight2, kLayerLeft2, kModFXView,
                        kLFOView, kModView, kChordView})
        show(frame, containers[c]);
    showTop();

    distortMode = clampIndex(plugin->getSteppedValue(kDistortModeTag), kDistortModes);
    setText(distortLabels[1], DISTORT_MODE_LABEL_STR[2 * distortMode]);
    setText(distortLabels[2], DISTORT_MODE_LABEL_STR[2 * distortMode + 1]);
    std::vector<CView*> sectionViews;
    collectSectionViews(sectionViews);
    attachPageControls(kPageMain, sectionViews);
    // Views the main builder placed on the frame without registering them (section screens).
    showRecorded(-1, 0);
    for (CView* v : {(CView*)arpScreen, (CView*)chordScreen, (CView*)modViewLine}) show(frame, v);
    if (arpScreen) arpScreen->setDirty(true);
    if (chordScreen) chordScreen->setDirty(true);
    finishScreenSwitch();
}

// Both front pages end alike: the ribbon group along the bottom, then a full refresh.
void uEditor::finishScreenSwitch() {
    showAll(frame, ribbonLabels);
    for (CView* v : {(CView*)ribbonSpringMenu, (CView*)ribbonQuantMenu, (CView*)ribbonSlider, (CView*)ribbonOnOff})
        show(frame, v);
    switchingScreen = 0;
    resume();
    frame->invalid();
}

void uEditor::showEasyScreen() {
    if (!plugin || !frame || switchingScreen) return;
    switchingScreen = 1;
    frame->removeAll(true);
    frame->invalid();
    frame->setBackground(getEditorBitmap(10001));
    screenMode = kPageEasy;
    setRegOff(REG_ADVANCE_DISPLAY_STR);

    showTop();
    for (Container c : {kEasyLayerRight0, kEasyLayerLeft0, kEasyLayerRight1, kEasyLayerLeft1, kEasyLayerRight2,
                        kEasyLayerLeft2, kEasyChordView, kEasyModFXView})
        show(frame, containers[c]);

    distortMode = clampIndex(plugin->getSteppedValue(kDistortModeTag), kDistortModes);
    setText(easyDistortLabels[1], DISTORT_MODE_LABEL_STR[2 * distortMode]);
    setText(easyDistortLabels[2], DISTORT_MODE_LABEL_STR[2 * distortMode + 1]);
    std::vector<CView*> sectionViews;
    collectSectionViews(sectionViews);
    attachPageControls(kPageEasy, sectionViews);
    finishScreenSwitch();
}

// ---- the section containers ----------------------------------------------------------------

void uEditor::redrawLayerViewContainer() {
    for (Container c : {kLayerLeft0, kLayerLeft1, kLayerLeft2, kEasyLayerLeft0, kEasyLayerLeft1, kEasyLayerLeft2})
        if (!containers[c]) return;
    if (!plugin || busyLayer) return;
    busyLayer = 1;
    dirtyLayer = 0;
    const bool easy = screenMode != kPageMain;
    for (int i = 0; i < 3; ++i) {
        CViewContainer* left = containers[i * 4 + (easy ? kEasyLayerLeft0 : kLayerLeft0)];
        CViewContainer* right = containers[i * 4 + (easy ? kEasyLayerRight0 : kLayerRight0)];
        empty(left);
        empty(right);
        const int t = clampIndex(plugin->getSteppedValue(LAYER_SOURCE_TAGS[i]), 4);
        CBitmap* lb = getEditorBitmap(easy ? EASY_LAYER_LEFT_BG[t] : MAIN_LAYER_LEFT_BG[t]);
        CBitmap* rb = getEditorBitmap(easy ? EASY_LAYER_RIGHT_BG[t] : MAIN_LAYER_RIGHT_BG[t]);
        if (lb) left->setBackground(lb);
        if (right && rb) right->setBackground(rb);

        TKnob* const* knobs = easy ? easyLayerKnobs[i] : layerKnobs[i];
        TLabel* const* labels = easy ? easyLayerLabels[i] : layerKnobLabels[i];
        const int start = easy ? EASY_LAYER_KNOB_START[t] : LAYER_KNOB_START[t];
        const int knobEnd = easy ? EASY_LAYER_KNOB_END[t] : LAYER_KNOB_END[t];
        const int labelEnd = easy ? EASY_LAYER_LABEL_END[t] : LAYER_LABEL_END[t];
        for (int s = start; s <= labelEnd; ++s) show(left, labels[s]);
        for (int s = start; s <= knobEnd; ++s) show(left, knobs[s]);
        if (!easy) {
            showRecorded(i * 4 + kLayerLeft0, t);
            showRecorded(i * 4 + kLayerRight0, t);
        }

        // The model's own controls, and the slots a model switch dims.
        auto dim = [&](int from, int to, int labelTo, bool on) {
            for (int s = from; s <= to; ++s) setOn(knobs[s], on);
            for (int s = from; s <= labelTo; ++s) setOn(labels[s], on);
        };
        if (t == 0) {
            const bool thin = plugin->getOnOff(WIRE_ON_TAGS[i]);
            if (easy) {
                show(right, easyLayerFilterTitles[i]);
                show(right, easyLayerFilterButtons[i]);
                show(left, scopesEasy[i]);
                dim(1, 3, 3, thin);
            } else {
                show(right, layerThinOnOffs[i]);
                show(right, layerThinLabels[i]);
                show(right, layerFilterTitles[i]);
                show(right, layerFilterButtons[i]);
                show(left, scopesMain[i]);
                dim(2, 7, 7, thin);
            }
        } else if (t == 1) {
            if (!easy)
                for (CView* v : {(CView*)layerFreeOnOffs[i], (CView*)layerDriftOnOffs[i], (CView*)layerFreeLabels[i],
                                 (CView*)layerDriftLabels[i]})
                    show(right, v);
        } else if (t == 2) {
            if (easy)
                for (CView* v : {(CView*)easyLayerFMModeLabels[i], (CView*)easyLayerFMModeMenus[i],
                                 (CView*)easyLayerSemiLabels[i], (CView*)easyLayerSemiMenus[i]})
                    show(right, v);
            else
                for (CView* v : {(CView*)layerFMModeMenus[i], (CView*)layerSemiMenus[i], (CView*)layerFMModeLabels[i],
                                 (CView*)layerSemiLabels[i]})
                    show(right, v);
        } else {
            if (easy) {
                show(right, easyLayerFilterLabels[i]);
                show(right, easyLayerFilterModeMenus[i]);
                show(left, easyLayerWaveMenus[i]);
                // Wave shapes from 4 on have no symmetry or pitch to set.
                dim(31, 32, 33, plugin->getSteppedValue(WAVE_TAGS[i]) < 4);
            } else {
                for (CView* v : {(CView*)layerFilterLabels[i], (CView*)layerFilterModeMenus[i],
                                 (CView*)layerFreeOnOffs[i], (CView*)layerFreeLabels[i]})
                    show(right, v);
                show(left, layerWaveMenus[i]);
            }
        }
    }
    layersRebuilt = 1;
    busyLayer = 0;
}

void uEditor::redrawModFXViewContainer(bool easy) {
    CViewContainer* view = containers[easy ? kEasyModFXView : kModFXView];
    if (!plugin || !containers[kModFXView] || !view || busyModFX) return;
    busyModFX = 1;
    dirtyModFX = 0;
    const int m = clampIndex(plugin->getSteppedValue(kModFXModeTag), kModFXModes);
    modFXMode = m;
    empty(view);
    if (!easy) {
        const int n = m == kGatorMode ? 3 : 6;
        for (int k = 0; k < n; ++k) {
            show(view, modFXKnobs[k]);
            if (modFXKnobs[k]) modFXKnobs[k]->setDefaultValue(modFXDefaults[m][k]);
        }
        for (int k = 1; k < 6; ++k) setText(modFXKnobLabels[k], MOD_FX_LABEL_STR[5 * m + k - 1]);
        for (int k = 0; k < n; ++k) show(view, modFXKnobLabels[k]);
        showRecorded(kModFXView, m == kGatorMode ? 1 : 0);
    } else {
        // The easy knobs show the mode's own variables: each takes the tag, default and value
        // of the variable it shows at every rebuild, whatever page the mode was changed on.
        const int n = m == kGatorMode ? 1 : 3;
        for (int k = 0; k <= n; ++k) {
            const int v = EASY_VARS[m][k];
            if (TKnob* knob = easyModFXKnobs[k]) {
                knob->setTag(kModFXTags[v]);
                knob->setDefaultValue(modFXDefaults[m][v]);
                knob->setValue(plugin->getParameter(kModFXTags[v]));
                show(view, knob);
                knob->invalid();
            }
            if (k > 0) setText(easyModFXLabels[k], MOD_FX_LABEL_STR[5 * m + v - 1]);
            show(view, easyModFXLabels[k]);
        }
    }
    if (m == kGatorMode) {
        TLabel* const* labels = easy ? easyGatorLabels : gatorLabels;
        TGatorDisplay* const* displays = easy ? easyGatorDisplays : gatorDisplays;
        show(view, labels[0]);
        show(view, labels[1]);
        for (int k = 0; k < 2; ++k)
            if (displays[k]) {
                displays[k]->setValue(plugin->getParameter(kModFXTags[4 + k]));
                show(view, displays[k]);
            }
    }
    busyModFX = 0;
}

void uEditor::redrawLFOViewContainer() {
    CViewContainer* view = containers[kLFOView];
    if (!plugin || !view || busyLFO) return;
    busyLFO = 1;
    dirtyLFO = 0;
    empty(view);
    const int s = clampIndex(selectedLFO, 2);
    showAll(view, lfoLabels[s]);
    for (CView* v : {(CView*)lfoWaveMenus[s], (CView*)lfoModeMenus[s], (CView*)lfoSpeedKnobs[s],
                     (CView*)lfoSyncOnOffs[s]})
        show(view, v);
    showRecorded(kLFOView, s);
    resumeMenu(lfoWaveMenus[s]);
    resumeMenu(lfoModeMenus[s]);
    busyLFO = 0;
}

void uEditor::redrawModViewContainer() {
    CViewContainer* view = containers[kModView];
    if (!plugin || !view || busyMod) return;
    busyMod = 1;
    dirtyMod = 0;
    empty(view);
    const bool split = modViewPage != 0;
    if (CBitmap* b = getEditorBitmap(split ? 10044 : 10043)) view->setBackground(b);
    if (!split) {
        showAll(view, modMatrixLabels);
        show(view, modScreen);
    } else {
        showAll(view, velSplitLabels);
        const int layer = clampIndex(velSplitLayer, 3);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 4; ++j)
                if (CTextEdit* field = velSplitFields[i][j]) {
                    field->setText(std::to_string(velSplitValues[i][j]).c_str());
                    show(view, field);
                }
            if (velSplitLayerRadios[i]) {
                velSplitLayerRadios[i]->setState(i == layer);
                show(view, velSplitLayerRadios[i]);
            }
        }
        if (velSplitScreen) {
            velSplitScreen->setLayer(layer);
            show(view, velSplitScreen);
        }
    }
    showRecorded(kModView, split ? 1 : 0);
    if (modViewLine) modViewLine->setVisible(split);
    busyMod = 0;
}

void uEditor::redrawChordViewContainer() {
    CViewContainer* view = containers[screenMode != kPageMain ? kEasyChordView : kChordView];
    if (!plugin || !containers[kChordView] || !view || busyChord) return;
    busyChord = 1;
    dirtyChord = 0;
    const int c = clampIndex(selectedChord, 4);
    empty(view);
    if (screenMode != kPageMain) {
        for (CView* v : {(CView*)easyChordStrumKnobs[c], (CView*)easyChordSyncOnOffs[c],
                         (CView*)easyChordStrumLabels[c], (CView*)easyChordSyncLabels[c]})
            show(view, v);
    } else {
        for (CView* v : {(CView*)chordNotesLabels[c], (CView*)chordStrumLabels[c], (CView*)chordSyncLabels[c],
                         (CView*)chordModeMenu, (CView*)chordModeLabel, (CView*)chordNotesMenus[c],
                         (CView*)chordStrumKnobs[c], (CView*)chordSyncOnOffs[c], (CView*)strumMenuButton})
            show(view, v);
        showRecorded(kChordView, c);
        resumeMenu(chordModeMenu);
        resumeMenu(chordNotesMenus[c]);
        if (strumMenuButton) strumMenuButton->invalid();
        if (chordScreen) chordScreen->setDirty(true);
    }
    busyChord = 0;
}

void uEditor::updateArpPreset() {
    if (!plugin || busyArpPreset) return;
    dirtyArpPreset = 0;
    busyArpPreset = 1;
    APlugin& p = *plugin;
    // Looking the program's preset up scans the folders first, so the counts below are current.
    const bool loaded = p.hasLoadedArpPreset();
    if (arpFolderMenu) {
        arpFolderMenu->removeAllEntry();
        for (int i = 0; i < p.arpFolderCount; ++i) arpFolderMenu->addEntry(p.getArpFolder(i).c_str());
        arpFolderMenu->setString(p.getArpFolder(p.curArpFolder));
        arpFolderMenu->invalid();
    }
    if (arpPresetMenu) {
        arpPresetMenu->removeAllEntry();
        for (int i = 0; i < p.arpPresetCount; ++i) arpPresetMenu->addEntry(p.getArpPreset(i).c_str());
        arpPresetMenu->setString(loaded ? p.getArpPreset(p.curArpPreset) : std::string("-----"));
        arpPresetMenu->invalid();
    }
    busyArpPreset = 0;
}

// ---- the mode changes ------------------------------------------------------------------------

void uEditor::updateDistort() {
    if (!deferOffUIThread(pendingDistort)) applyDistort();
}

void uEditor::applyDistort() {
    if (!plugin || distortMode < 0 || distortMode >= kDistortModes) return;
    const int now = plugin->getSteppedValue(kDistortModeTag);
    if (now == distortMode || now < 0 || now >= kDistortModes) return;
    for (int k = 0; k < 3; ++k) distortMemory[distortMode][k] = plugin->getParameter(kDistortTags[k]);
    distortMode = now;
    // The host is not told: the values come back with the model, they are not an edit.
    for (int k = 0; k < 3; ++k) plugin->setParameter(kDistortTags[k], distortMemory[now][k]);
    if (screenMode == kPageMain || screenMode == kPageEasy) {
        TKnob* const* knobs = screenMode == kPageMain ? distortKnobs : easyDistortKnobs;
        TLabel* const* labels = screenMode == kPageMain ? distortLabels : easyDistortLabels;
        for (int k = 0; k < 3; ++k)
            if (knobs[k]) {
                knobs[k]->setValue(distortMemory[now][k]);
                knobs[k]->setDefaultValue(distortDefaults[now][k]);
                knobs[k]->setDirty(true);
            }
        setText(labels[1], DISTORT_MODE_LABEL_STR[2 * now]);
        setText(labels[2], DISTORT_MODE_LABEL_STR[2 * now + 1]);
    }
    updateDestStr();
}

void uEditor::updateDistortLabels(bool onlyIfChanged) {
    if (!plugin || distortMode < 0 || distortMode >= kDistortModes) return;
    const int now = plugin->getSteppedValue(kDistortModeTag);
    if ((onlyIfChanged && now == distortMode) || now < 0 || now >= kDistortModes) return;
    distortMode = now;
    if (screenMode == kPageMain || screenMode == kPageEasy) {
        TLabel* const* labels = screenMode == kPageMain ? distortLabels : easyDistortLabels;
        setText(labels[1], DISTORT_MODE_LABEL_STR[2 * now]);
        setText(labels[2], DISTORT_MODE_LABEL_STR[2 * now + 1]);
    }
    updateDestStr();
}

void uEditor::updateModFX() {
    if (!deferOffUIThread(pendingModFX)) applyModFX();
}

void uEditor::applyModFX() {
    if (!plugin || modFXMode < 0 || modFXMode >= kModFXModes) return;
    const int m = plugin->getSteppedValue(kModFXModeTag);
    if (m < 0 || m >= kModFXModes) return;
    for (int k = 0; k < 7; ++k) modFXMemory[modFXMode][k] = plugin->getParameter(kModFXTags[k]);
    modFXMode = m;
    for (int k = 0; k < 7; ++k) plugin->setParameter(kModFXTags[k], modFXMemory[m][k]);
    if (screenMode == kPageMain) {
        for (int k = 0; k < 6; ++k)
            if (modFXKnobs[k]) {
                modFXKnobs[k]->setValue(modFXMemory[m][k]);
                modFXKnobs[k]->setDirty(true);
            }
        for (int k = 0; k < 2; ++k)
            if (gatorDisplays[k]) gatorDisplays[k]->setValue(plugin->getParameter(kModFXTags[4 + k]));
    } else if (screenMode == kPageEasy) {
        for (int k = 0; k < 4; ++k)
            if (easyModFXKnobs[k]) {
                const int v = EASY_VARS[m][k];
                easyModFXKnobs[k]->setTag(kModFXTags[v]);
                easyModFXKnobs[k]->setValue(modFXMemory[m][v]);
                easyModFXKnobs[k]->setDirty(true);
            }
        for (int k = 0; k < 2; ++k)
            if (easyGatorDisplays[k]) easyGatorDisplays[k]->setValue(plugin->getParameter(kModFXTags[4 + k]));
    }
    updateDestStr();
    dirtyModFX = 1;
}

// ---- refresh ------------------------------------------------------------------------------------

// Option menus of a tag on a page, as the registry holds them.
void uEditor::resumeMenus(int tag, int page) {
    for (int i = 0; i < controlCount; ++i)
        if (controlKind[i] == kControlMenu && controlPage[i] == page && controls[i] && controls[i]->getTag() == tag)
            resumeMenu(static_cast<TOptionMenu*>(controls[i]));
}

void uEditor::resumeSubMenus(int tag, int page, const char* const* table) {
    for (int i = 0; i < controlCount; ++i)
        if (controlKind[i] == kControlMenu && controlPage[i] == page && controls[i] && controls[i]->getTag() == tag)
            resumeSubMenu(static_cast<TOptionMenu*>(controls[i]), tag, table);
}

void uEditor::resumeSemiMenus(int tag, int page) {
    for (int i = 0; i < controlCount; ++i)
        if (controlKind[i] == kControlMenu && controlPage[i] == page && controls[i] && controls[i]->getTag() == tag)
            resumeSubMenu(static_cast<TOptionMenu*>(controls[i]), tag, kSemiRange, kSemiSteps, SEMI_SHORT_STR);
}

void uEditor::resume() {
    if (!plugin || !finishedOpening || switchingScreen || resuming || !frame) return;
    resuming = 1;
    APlugin& p = *plugin;
    // The lock menu shows the plug-in's lock state, not a parameter value.
    auto setLockText = [&](int page) {
        for (int i = 0; i < controlCount; ++i)
            if (controlKind[i] == kControlMenu && controlPage[i] == page && controls[i] && controls[i]->getTag() == 664)
                static_cast<TOptionMenu*>(controls[i])->setString(LOCK_MODE_STR[clampIndex(p.getLockState(), 3)]);
    };
    // The ribbon's menus are built with the main page and shown on both.
    auto resumeRibbon = [&] {
        for (int tag : {666, 667}) {
            resumeMenus(tag, kPageMain);
            resumeMenus(tag, kPageEasy);
        }
    };
    if (screenMode != kPageBack) updatePresetMenu();
    if (screenMode == kPageMain) {
        setLockText(kPageMain);
        for (int tag : {244, 245, 246, 247}) resumeMenus(tag, kPageMain);
        for (int l = 0; l < 3; ++l) {
            for (int tag : {249 + 32 * l, 250 + 32 * l, 260 + 32 * l}) resumeMenus(tag, kPageMain);
            resumeSubMenus(272 + 32 * l, kPageMain, FILTER_MODE_STR);
            resumeSemiMenus(9 + 31 * l, kPageMain);
            resumeMenus(26 + 31 * l, kPageMain);
        }
        resumeMenus(344, kPageMain);
        resumeMenus(kDistortModeTag, kPageMain);
        updateDistortLabels(false);
        resumeMenus(kModFXModeTag, kPageMain);
        for (int tag : {397, 407, 408, 409, 395, 410, 396, 411}) resumeMenus(tag, kPageMain);
        if (arpScreen) arpScreen->setDirty(true);
        resumeMenus(555, kPageMain);
        resumeRibbon();
        dirtyChord = dirtyModFX = dirtyMod = dirtyLayer = dirtyLFO = 1;
    } else if (screenMode == kPageEasy) {
        for (int l = 0; l < 3; ++l) {
            resumeMenus(249 + 32 * l, kPageEasy);
            resumeMenus(260 + 32 * l, kPageEasy);
            resumeSubMenus(272 + 32 * l, kPageEasy, FILTER_MODE_STR);
            resumeSemiMenus(9 + 31 * l, kPageEasy);
            resumeMenus(26 + 31 * l, kPageEasy);
        }
        setLockText(kPageEasy);
        for (int tag : {244, 245, kDistortModeTag, kModFXModeTag}) resumeMenus(tag, kPageEasy);
        updateDistortLabels(false);
        for (int tag : {397, 407, 395, 555}) resumeMenus(tag, kPageEasy);
        resumeRibbon();
        dirtyLayer = dirtyModFX = dirtyChord = dirtyArpPreset = 1;
    } else {
        showBackReadouts();
    }
    for (int i = 0; i < controlCount; ++i) {
        CControl* c = controls[i];
        if (!c || !isValidTag(c->getTag())) continue;
        if (controlKind[i] == kControlCommand || controlKind[i] == kControlMenu) continue;
        const float v = p.getParameter(c->getTag());
        if (std::fabs(c->getValue() - v) > 0.00001f) {
            c->setValue(v);
            c->invalid();
            c->setDirty(true);
        }
    }
    resuming = 0;
    updatePresetMenu();
    updateFolderMenu();
}

void uEditor::idleSections() {
    if (!plugin || !frame || !finishedOpening || switchingScreen || resuming) return;
    if (pendingDistort.exchange(false)) applyDistort();
    if (pendingModFX.exchange(false)) applyModFX();
}
