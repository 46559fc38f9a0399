// The editor's clock: idle() runs a step of work at most every 50 ms. A step follows the mouse
// (hover target, a knob dropped onto the modulation matrix), answers the plug-in's refresh
// request, shows what the engine does (modulation rings, scopes, arp LED, Gator position,
// current chord, lock), lights or dims the effect sections, re-populates dirty section pages
// and, every 200 ms, puts the name and value of the control under the mouse into the readouts
// and its tooltip.
//
// Engine state is read without locks as single aligned words. Every view is changed only when
// what it shows changes, so an idle editor costs next to nothing.
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "controls/TArpScreen.h"
#include "controls/TChordScreen.h"
#include "controls/TGatorDisplay.h"
#include "controls/THSlider.h"
#include "controls/TKickButton.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TMenuButton.h"
#include "controls/TModScreen.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "controls/TReadoutString.h"
#include "controls/TVelSplitScreen.h"
#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr uint32_t kStepMs = 50;
constexpr int kHoverMs = 200, kBlinkMs = 500, kRibbonMs = 100;
constexpr int kScopeMs = 250, kFastScopeMs = 150;
constexpr int kGatorMode = 10, kFirstModeWithoutSync = 9;
enum { kDistort, kModFX, kDelay, kReverb };

int clampTo(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

template <class T>
void setOn(T* view, bool on) {
    if (view) view->setOn(on);
}

template <class T, size_t N>
void setAllOn(T* const (&views)[N], bool on) {
    for (T* v : views) setOn(v, on);
}

template <class T>
void setBypassed(T* view, bool bypassed) {
    if (view) view->setBypassed(bypassed);
}

// A value shown by a control, redrawn only when it changed.
void showValue(CControl* c, float v) {
    if (!c || c->getValue() == v) return;
    c->setValue(v);
    c->setDirty(true);
}

// A menu showing entry `index` (its value and its text).
void showMenuIndex(TOptionMenu* m, int index) {
    if (!m || m->getNbEntries() <= 0) return;
    index = clampTo(index, 0, m->getNbEntries() - 1);
    showValue(m, static_cast<float>(index));
    if (CMenuItem* e = m->getEntry(index)) m->setString(e->getTitle().getString());
}

template <class T, size_t N>
T* byTag(T* const (&views)[N], int tag) {
    for (T* v : views)
        if (v && v->getTag() == tag) return v;
    return nullptr;
}

bool isOneOf(int v, std::initializer_list<int> set) { return std::find(set.begin(), set.end(), v) != set.end(); }

}  // namespace

void uEditor::idle() {
    if (!frame || !checkUIThread("uEditor::idle")) return;
    claimDialogs();  // boxes opened from here on open over this editor's window
    drainPending();
    reapHelpers();
    if (plugin && finishedOpening && !switchingScreen && !resuming) {
        if (screenMode == kPageMain && ribbonSlider) {
            ribbonSlider->setCentered(plugin->getOnOff(665));
            ribbonSlider->setCurValue();
        }
        const uint32_t now = getTicks();
        if (now - lastIdleTick >= kStepMs) {
            lastIdleTick = now;
            idleStep();
        }
    }
    // Events and repaints follow the host's idle calls, whatever the editor's own rhythm.
    if (frame) AEffGUIEditor::idle();
}

CView* uEditor::findHoverTarget(CPoint& where) const {
    where = CPoint();
    frame->getCurrentMouseLocation(where);
    if (controlBeingEdited) return controlBeingEdited;
    // Inside a section container, the deepest view there.
    return frame->getViewAt(where, GetViewOptions().deep());
}

void uEditor::idleStep() {
    APlugin& p = *plugin;
    // Mode changes reported off the UI thread, before anything looks at the modes.
    idleSections();

    CPoint where;
    CView* target = findHoverTarget(where);
    if (modScreen && target == modScreen) dropMod();
    if (dialReleased) dropTag = -1;

    if (screenMode != kPageBack) {
        const uint8_t changed = p.getEditChanged() ? 1 : 0;
        if (changed != lastEditChanged && editedButton) {
            lastEditChanged = changed;
            editedButton->setAlwaysOn(changed != 0);
        }
    }
    // Cleared before the refresh, so that a request raised while it runs is not lost.
    if (p.editorRedrawRequest.exchange(0)) resume();

    const bool bypassAll = p.getOnOff(345);
    const bool fx[4] = {!bypassAll && p.getOnOff(346), !bypassAll && p.getOnOff(348), !bypassAll && p.getOnOff(351),
                        !bypassAll && p.getOnOff(354)};
    if (screenMode == kPageMain || screenMode == kPageEasy) {
        if (ribbonSlider)
            ribbonSlider->setModValue(p.getModValue(ribbonSlider->getTag()), static_cast<int>(lastIdleTick / kRibbonMs));
        idleScopes();
    }
    if (screenMode == kPageMain) idleMainScreen(fx);
    else if (screenMode == kPageEasy) idleEasyScreen(fx);

    idleHover(target, where);
}

void uEditor::idleScopes() {
    if (dirtyLayer || busyLayer) return;
    APlugin& p = *plugin;
    const int period = prefOutputDisplaySpeed ? kFastScopeMs : kScopeMs;
    for (int k = 0; k < 3; ++k) {
        const bool on = p.getOnOff(LAYER_ON_TAGS[k]);
        if (scopesMain[k]) scopesMain[k]->setActive(on);
        if (scopesEasy[k]) scopesEasy[k]->setActive(on);
        if (!prefOutputDisplay || !on || p.getSteppedValue(LAYER_SOURCE_TAGS[k]) != 0) continue;
        TWaveScreen* scope = screenMode == kPageMain ? scopesMain[k] : scopesEasy[k];
        if (scope) scope->update(static_cast<int>(lastIdleTick / period));
    }
}

void uEditor::idleMainScreen(const bool fx[4]) {
    APlugin& p = *plugin;
    const int blink = static_cast<int>(lastIdleTick / kBlinkMs);
    for (TKnob* k : mainKnobs) setModValue(k);
    for (TKnob* k : distortKnobs) setModValue(k);

    // The velocity split's switch belongs to its page.
    for (CView* v : {static_cast<CView*>(velSplitOnLabel), static_cast<CView*>(velSplitOnOff)})
        if (v && v->isVisible() != (modViewPage != 0)) v->setVisible(modViewPage != 0);

    updateDistortLabels(true);
    setBypassed(distortModeMenu, !fx[kDistort]);
    setAllOn(distortLabels, fx[kDistort]);
    setOn(distortKnobs[0], fx[kDistort]);

    // Delay: knobs 113..119 with their captions and the two switch captions.
    for (int i = 0; i < 7; ++i) {
        setOn(mainKnobs[34 + i], fx[kDelay]);
        setOn(fxKnobLabels[i], fx[kDelay]);
    }
    setOn(fxSwitchLabels[5], fx[kDelay]);
    setOn(fxSwitchLabels[6], fx[kDelay]);
    setBypassed(fxOnOffs[5], !fx[kDelay]);
    setBypassed(fxOnOffs[6], !fx[kDelay]);
    if (p.getOnOff(351) && !p.getOnOff(345)) {
        const bool equal = p.getOnOff(353);
        // "EQUAL" reads lit while the two sides are equal (by the switch or a centred cross);
        // the right time means nothing while the switch ties it to the left.
        setOn(fxSwitchLabels[5], equal || std::fabs(p.getParameter(117) - 0.5f) < 0.001f);
        setBypassed(fxKnobLabels[2], equal);
    }
    // Reverb.
    for (int i = 7; i < 13; ++i) {
        setOn(mainKnobs[34 + i], fx[kReverb]);
        setOn(fxKnobLabels[i], fx[kReverb]);
    }
    setBypassed(fxPathMenu, p.getOnOff(345));

    // Arp.
    const int steps = p.getArpNumOfSteps();
    if (steps != arpStepCountCache) dirtyArp = 1;
    arpStepCountCache = steps;
    if (dirtyArp) {
        dirtyArp = 0;
        if (arpScreen) arpScreen->setDirty(true);
    }
    if (arpScreen) arpScreen->setLedStep(p.getArpLedPos());
    if (arpMenus[0]) arpMenus[0]->setString(ARP_STEPS_STR[clampTo(p.getArpNumOfStepsWithCatchup(), 0, 15)]);
    if (arpMenus[1]) arpMenus[1]->setString(ARP_STEPS_STR[clampTo(p.getArpLoopStartWithCatchup(), 0, 15)]);

    idleLock(false);
    if (!busyLayer) idleLayers(false);

    // Mod FX.
    if (!busyModFX) {
        if (dirtyModFX) redrawModFXViewContainer(false);
        else if (modFXMode != p.getSteppedValue(349)) updateModFX();
        for (TKnob* k : modFXKnobs) setModValue(k);
        setOn(fxSwitchLabels[4], modFXMode < kFirstModeWithoutSync && fx[kModFX]);
        setAllOn(modFXKnobLabels, fx[kModFX]);
        setAllOn(modFXKnobs, fx[kModFX]);
        setBypassed(modFXModeMenu, !fx[kModFX]);
        setBypassed(fxOnOffs[4], !fx[kModFX] || modFXMode >= kFirstModeWithoutSync);
        if (modFXMode == kGatorMode) {
            const int pos = prefDisplayGaterPos ? p.getGaterPos() : -1;
            setAllOn(gatorLabels, fx[kModFX]);
            for (TGatorDisplay* g : gatorDisplays)
                if (g) {
                    g->setOn(fx[kModFX]);
                    g->setGaterPos(pos);
                }
        }
    }
    if (!busyLFO) {
        if (dirtyLFO) redrawLFOViewContainer();
        else setModValue(lfoSpeedKnobs[clampTo(selectedLFO, 0, 1)]);
    }
    if (!busyMod) {
        if (dirtyMod) {
            redrawModViewContainer();
        } else if (modViewPage == 1) {
            for (int k = 0; k < 3; ++k)
                for (int j = 0; j < 4; ++j) {
                    const int v = static_cast<int>(p.getParameter(LAYER_VEL_TAGS[4 * k + j]) * 127.f + 0.1f);
                    if (v == velSplitValues[k][j]) continue;
                    velSplitValues[k][j] = v;
                    if (CTextEdit* f = velSplitFields[k][j]) {
                        f->setText(std::to_string(v).c_str());
                        f->invalid();
                    }
                }
        }
    }
    if (!busyChord) {
        if (dirtyChord) {
            redrawChordViewContainer();
        } else {
            const int playing = p.getCurChord();
            for (int c = 0; c < 4; ++c)
                if (chordNumberLabels[c]) chordNumberLabels[c]->setIndicator(playing == c, blink);
            const int c = clampTo(selectedChord, 0, 3);
            if (strumMenuButton) strumMenuButton->setString(p.getParameterDisplayStr(CHORD_STRUM_TAGS[c]));
            setModValue(chordStrumKnobs[c]);
        }
    }
}

void uEditor::idleEasyScreen(const bool fx[4]) {
    APlugin& p = *plugin;
    for (TKnob* k : easyKnobs) setModValue(k);
    for (TKnob* k : easyDistortKnobs) setModValue(k);
    if (easyArpMenus[1]) easyArpMenus[1]->setString(ARP_STEPS_STR[clampTo(p.getArpNumOfStepsWithCatchup(), 0, 15)]);
    idleLock(true);

    updateDistortLabels(true);
    setBypassed(easyDistortMenu, !fx[kDistort]);
    setAllOn(easyDistortLabels, fx[kDistort]);

    if (!busyModFX) {
        if (dirtyModFX) redrawModFXViewContainer(true);
        else if (modFXMode != p.getSteppedValue(349)) updateModFX();
        setBypassed(easyModFXMenu, !fx[kModFX]);
        for (TKnob* k : easyModFXKnobs) setModValue(k);
        setAllOn(easyModFXLabels, fx[kModFX]);
        setAllOn(easyGatorLabels, fx[kModFX]);
        const int pos = prefDisplayGaterPos ? p.getGaterPos() : -1;
        for (TGatorDisplay* g : easyGatorDisplays)
            if (g) g->setGaterPos(pos);
    }
    // The delay and reverb captions share their knobs' slots.
    for (int i = 0; i < kEasyKnobSlots; ++i) {
        const int tag = easyKnobs[i] ? easyKnobs[i]->getTag() : -1;
        if (tag >= 113 && tag <= 119) setOn(easyLabels[i], fx[kDelay]);
        else if (tag >= 120 && tag <= 125) setOn(easyLabels[i], fx[kReverb]);
    }
    if (!busyLayer) idleLayers(true);

    if (!busyChord) {
        if (dirtyChord) {
            redrawChordViewContainer();
        } else {
            const int playing = p.getCurChord();
            const int blink = static_cast<int>(lastIdleTick / kBlinkMs);
            for (int c = 0; c < 4; ++c)
                if (easyChordNumberLabels[c])
                    easyChordNumberLabels[c]->setIndicator(playing == c, playing == c ? blink : 0);
            setModValue(easyChordStrumKnobs[clampTo(selectedChord, 0, 3)]);
        }
    }
    if (!busyArpPreset && dirtyArpPreset) updateArpPreset();
}

void uEditor::idleLayers(bool easy) {
    APlugin& p = *plugin;
    if (dirtyLayer) {
        redrawLayerViewContainer();
        return;
    }
    bool relabelled = false;
    for (int i = 0; i < 3; ++i) {
        const int type = clampTo(p.getSteppedValue(LAYER_SOURCE_TAGS[i]), 0, 3);
        TKnob* const* knobs = easy ? easyLayerKnobs[i] : layerKnobs[i];
        const int from = easy ? EASY_LAYER_KNOB_START[type] : LAYER_KNOB_START[type];
        const int to = easy ? EASY_LAYER_KNOB_END[type] : LAYER_KNOB_END[type];
        for (int s = from; s <= to; ++s) setModValue(knobs[s]);
        if (type != 3) continue;
        const int m = p.getSteppedValue(FILTER_MODE_TAGS[i]);
        if (m == filterModeCache[i] && !layersRebuilt) continue;
        filterModeCache[i] = m;
        // The Wave set's Q knob (caption slot after it) and vowel knob.
        const char* second = m > 29 ? "AMT" : "Q";
        if (easy) {
            if (TLabel* q = easyLayerLabels[i][37]) q->setString(second);
            continue;
        }
        relabelled = true;
        if (TLabel* q = layerKnobLabels[i][51]) q->setString(second);
        const bool mix = isOneOf(m, {11, 12, 23, 24});
        TLabel* first = layerKnobLabels[i][52];
        if (first) first->setString(mix ? "MIX" : (m == 28 || m == 29 ? "FORMANT" : "VOWEL"));
        const bool used = mix || isOneOf(m, {27, 28, 29});
        setBypassed(first, !used);
        setBypassed(layerKnobs[i][51], !used);
    }
    layersRebuilt = 0;
    if (relabelled) updateDestStr();
}

void uEditor::idleLock(bool easy) {
    APlugin& p = *plugin;
    TOptionMenu* lockMenu = easy ? easyPlayMenus[2] : playMenus[1];
    const int blink = static_cast<int>(lastIdleTick / kBlinkMs);
    if (p.getLockState() != 1) {
        // An indicator that is off has no phase to follow.
        if (lockMenu) lockMenu->setIndicator(false, 0);
        return;
    }
    if (lockMenu) lockMenu->setIndicator(true, blink);
    auto lockedIndex = [&](int tag) {
        switch (tag) {
            case 397: return p.getArpSpeed();
            case 407: return p.getArpMode();
            case 408: return p.getArpOct();
            case 409: return p.getArpTiedMode();
            case 396: return p.getArpLoopStartWithCatchup();
            case 395: return p.getArpNumOfStepsWithCatchup();
            default: return p.getLockVarStepped(tag);
        }
    };
    if (!easy) {
        for (int tag : {4, 398, 399, 403, 402, 400, 401}) showValue(byTag(mainKnobs, tag), p.getLockVar(tag));
        for (int tag : {394, 405, 404}) showValue(byTag(arpOnOffs, tag), p.getLockVar(tag));
        for (TOptionMenu* m : playMenus)
            if (m && m != lockMenu) showMenuIndex(m, lockedIndex(m->getTag()));
        for (TOptionMenu* m : arpMenus)
            if (m && isOneOf(m->getTag(), {397, 407, 408, 409, 411, 396, 395})) showMenuIndex(m, lockedIndex(m->getTag()));
    } else {
        for (int tag : {4, 398, 399, 401, 400}) showValue(byTag(easyKnobs, tag), p.getLockVar(tag));
        showValue(byTag(easyOnOffs, 394), p.getLockVar(394));
        for (TOptionMenu* m : easyPlayMenus)
            if (m && m != lockMenu) showMenuIndex(m, lockedIndex(m->getTag()));
        for (TOptionMenu* m : easyArpMenus)
            if (m) showMenuIndex(m, lockedIndex(m->getTag()));
    }
}

// ---- what is under the mouse ---------------------------------------------------------------

bool uEditor::hoverRow(CView* t, const CPoint& where, std::string& name, std::string& value) {
    APlugin& p = *plugin;
    struct Row {
        const CView* view;
        const char* name;
    };
    const Row rows[] = {
        {presetMenu, "Preset Menu"},
        {folderMenu, "Folder Menu"},
        {previewButton, "Preview Preset"},
        {editedButton, "Edited Preset"},
        {origButton, "Original Preset"},
        {helpButton, "Open Help"},
        {ecsMenuButton, "ECS Menu"},
        {paramNameReadout, "Parameter Name Readout"},
        {paramValueReadout, "Parameter Value Readout"},
        {screenSwitchArea, "Show Main / Advanced Screen"},
        {controlMenuButton, "Control Menu"},
        {lfoRadios[0], "Show LFO 1"},
        {lfoRadios[1], "Show LFO 2"},
        {gatorDisplays[0], "Left Gator Screen"},
        {gatorDisplays[1], "Right Gator Screen"},
        {easyGatorDisplays[0], "Left Gator Screen"},
        {easyGatorDisplays[1], "Right Gator Screen"},
        {arpCommandButton, "Arp Command Button"},
        {easyArpCommand, "Arp Command Button"},
        {modPageRadios[0], "Show Mod Matrix Screen"},
        {modPageRadios[1], "Show Velocity Split Screen"},
        {modCommandButton, modViewPage != 0 ? "Velocity Split Command Button" : "Mod Matrix Command Button"},
        {modScreen, "Mod Matrix Screen"},
        {velSplitScreen, "Velocity Split Screen"},
        {chordViewRadios[0], "Show Chord Tune"},
        {chordViewRadios[1], "Show Chord Volume"},
        {chordViewRadios[2], "Show Chord Pan"},
        {chordCommandButton, "Chord Command Button"},
        {easyChordCommand, "Chord Command Button"},
        {backPageClose, "To Main Screen"},
        {backInfoText, "Version"},
        {backPrefSwitches[0], "MIDI Preset Control On/Off"},
        {backPrefSwitches[1], "MIDI Bank Control On/Off"},
        {backPrefSwitches[2], "Alt MIDI On/Off"},
        {backPrefSwitches[3], "Keyboard Control On/Off"},
        {backPrefSwitches[4], "Preset Warning On/Off"},
        {midiChannelMenu, "MIDI Channel"},
        {screenSizeMenu, "Screen Size 100/125/150/200"},
        {brickFilterSwitch, "Brick Filter On/Off"},
        {brickFreqReadout, "Brick Filter Frequency"},
        {tuningReadout, "Global Tuning"},
        {tuningNameReadout, "Load Tuning"},
        {tuningResetButton, "Reset Tuning"},
    };
    for (const Row& r : rows)
        if (r.view == t) {
            name = r.name;
            return true;
        }
    const CRect& box = t->getViewSize();
    for (int k = 0; k < 3; ++k) {
        if (t == scopesMain[k] || t == scopesEasy[k]) {
            name = std::string(LAYER_STR[k]) + " Output Screen";
            return true;
        }
        if (t == velSplitLayerRadios[k]) {
            name = std::string("Show ") + LAYER_STR[k] + " Velocity Split";
            return true;
        }
        for (int j = 0; j < 4; ++j)
            if (t == velSplitFields[k][j]) {
                name = std::string(LAYER_STR[k]) + " " + VEL_SECTION_STR[j];
                value = p.getParameterDisplayStr(LAYER_VEL_TAGS[4 * k + j]);
                return true;
            }
    }
    const int c = clampTo(selectedChord, 0, 3);
    for (int i = 0; i < 4; ++i)
        if (t == chordRadios[i] || t == easyChordRadios[i]) {
            name = std::string("Show ") + USER_CHORD_STR[i];
            return true;
        }
    if (t == arpScreen && box.getWidth() > 0 && box.getHeight() > 0) {
        const int s = clampTo(static_cast<int>((where.x - box.left) * 16 / box.getWidth()), 0, 15);
        const int r = clampTo(static_cast<int>((where.y - box.top) * 8 / box.getHeight()), 0, 7);
        name = std::string("Arp Screen: Step ") + ARP_STEPS_STR[s] + "  " + ARP_ROWS_STR[r];
        value = p.getParameterDisplayStr(ARP_ROW_START_TAGS[r] + s);
        return true;
    }
    if (t == chordScreen && box.getWidth() > 0) {
        const int n = clampTo(static_cast<int>((where.x - box.left) * 6 / box.getWidth()), 0, 5);
        name = "Chord Screen: Note " + std::to_string(n + 1);
        value = p.getParameterDisplayStr(CHORD_SEMI_TAGS[c] + n) + ", " + p.getParameterDisplayStr(CHORD_FINE_TAGS[c] + n) +
                ", " + p.getParameterDisplayStr(CHORD_VEL_TAGS[c] + n) + ", " +
                p.getParameterDisplayStr(CHORD_PAN_TAGS[c] + n);
        return true;
    }
    if (t == strumMenuButton) {
        name = p.getParameterNameStr(CHORD_STRUM_TAGS[c]);
        value = p.getParameterDisplayStr(CHORD_STRUM_TAGS[c]);
        return true;
    }
    if (t == arpFolderMenu) {
        name = "Arp Preset Folder";
        value = p.getArpFolder(p.curArpFolder);
        return true;
    }
    if (t == arpPresetMenu) {
        name = "Arp Preset";
        value = p.hasLoadedArpPreset() ? p.getArpPreset(p.curArpPreset) : std::string("-----");
        return true;
    }
    return false;
}

void uEditor::idleHover(CView* target, const CPoint& where) {
    const int step = static_cast<int>(lastIdleTick / kHoverMs);
    if (step == hoverStep) return;
    hoverStep = step;
    const std::string oldName = hoverName, oldValue = hoverValue;
    hoverName = "None";
    hoverValue.clear();
    if (!target) return;
    if (!hoverRow(target, where, hoverName, hoverValue)) {
        for (int i = 0; i < controlCount; ++i)
            if (controls[i] == target && isValidTag(controls[i]->getTag())) {
                hoverName = plugin->getParameterNameStr(controls[i]->getTag());
                hoverValue = plugin->getParameterDisplayStr(controls[i]->getTag());
                break;
            }
    }
    if (hoverName == "None") return;
    if (screenMode != kPageBack && (hoverName != oldName || hoverValue != oldValue)) {
        if (paramNameReadout) paramNameReadout->setString(hoverName);
        if (paramValueReadout) paramValueReadout->setString(hoverValue);
    }
    if (!prefToolTip) return;
    const std::string tip = hoverValue.empty() ? hoverName : hoverName + ": " + hoverValue;
    // Keyed on the view too: two controls may well show the same text.
    if (tip == lastTooltip && target == lastTooltipView) return;
    target->setAttribute(kCViewTooltipAttribute, static_cast<uint32_t>(tip.size() + 1), tip.c_str());
    lastTooltip = tip;
    lastTooltipView = target;
}

void uEditor::reapHelpers() {
    for (size_t i = 0; i < helperPids.size();) {
        int status = 0;
        const pid_t r = waitpid(helperPids[i], &status, WNOHANG);
        if (r == 0) {
            ++i;
            continue;
        }
        // Finished (or no longer ours to wait for).
        helperPids[i] = helperPids.back();
        helperPids.pop_back();
    }
}
