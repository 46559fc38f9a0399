// The control registry and the two value paths: plug-in -> controls (setParameter's refresh
// rows, the option menus, modulation rings) and controls -> plug-in (valueChanged), and the
// drop of a dragged knob onto the modulation matrix.
#include <cmath>
#include <cstring>

#include "controls/TKnob.h"
#include "controls/TModScreen.h"
#include "controls/TOptionMenu.h"
#include "controls/THSlider.h"
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr float kSemiRange = 96.99f;
constexpr int kSemiSteps = 97;

// The position of a tag in a per-layer (or per-chord) tag table, or -1.
int layerOf(const int32_t* tags, int tag, int count = 3) {
    for (int l = 0; l < count; ++l)
        if (tags[l] == tag) return l;
    return -1;
}

// The text of the entry the last choice of a menu (or one of its submenus) landed on.
std::string chosenTitle(COptionMenu* menu) {
    int32_t idx = -1;
    COptionMenu* m = menu->getLastItemMenu(idx);
    if (!m) return menu->getCurrentTitle();
    CMenuItem* item = m->getEntry(idx);
    return item ? std::string(item->getTitle()) : std::string();
}

int rowOf(const char* const* table, int count, const std::string& text) {
    for (int i = 0; i < count; ++i)
        if (text == table[i]) return i;
    return -1;
}

} // namespace

void uEditor::addControl(CControl* control, int kind) {
    if (!plugin || !control || !frame || controlCount >= kMaxControls) return;
    const int n = controlCount;
    controls[n] = control;
    controlKind[n] = kind;
    controlPage[n] = static_cast<int8_t>(buildingPage);
    controlCount = n + 1;
    const int tag = control->getTag();
    if (isValidTag(tag)) {
        tagControlIndex[tag] = n;
        control->setDefaultValue(plugin->paramDefault[tag]);
        control->setValue(plugin->getParameter(tag));
    } else {
        control->setDefaultValue(0.f);
        control->setValue(0.f);
    }
}

template <class F>
void uEditor::forMenus(int tag, int page, F f) {
    for (int i = 0; i < controlCount; ++i)
        if (controlKind[i] == kControlMenu && controlPage[i] == page && controls[i] && controls[i]->getTag() == tag)
            f(static_cast<TOptionMenu*>(controls[i]));
}

void uEditor::resumeMenu(TOptionMenu* menu) {
    if (!menu || !plugin) return;
    menu->setValue(static_cast<float>(plugin->getSteppedValue(menu->getTag())));
    // The menu draws its own text: the title of the entry the value chose.
    const std::string title = menu->getCurrentTitle();
    if (!title.empty()) menu->setString(title);
}

void uEditor::resumeSubMenu(TOptionMenu* menu, int tag, const char* const* table) {
    if (!menu || !plugin) return;
    menu->setString(table[plugin->getSteppedValue(tag)]);
}

void uEditor::resumeSubMenu(TOptionMenu* menu, int tag, float range, int steps, const char* const* table) {
    if (!menu || !plugin) return;
    menu->setString(table[plugin->getSteppedValue(tag, range, steps)]);
}

void uEditor::setMenuValue(int tag, int index) {
    if (isValidTag(tag) && plugin) plugin->setSteppedValue(tag, index);
}

// The refresh of one tag's controls from the plug-in's program value (UI thread).
void uEditor::applyParameter(int tag) {
    if (!frame || !plugin || !isValidTag(tag) || !finishedOpening) return;
    const int shown = screenMode == kPageBack ? -1 : screenMode;
    auto resumeShown = [&](int t) { forMenus(t, shown, [&](TOptionMenu* m) { resumeMenu(m); }); };
    auto resumeMain = [&](int t) { forMenus(t, kPageMain, [&](TOptionMenu* m) { resumeMenu(m); }); };

    bool generic = false;
    if (layerOf(SEMI_TAGS, tag) >= 0) {
        forMenus(tag, shown, [&](TOptionMenu* m) { resumeSubMenu(m, tag, kSemiRange, kSemiSteps, SEMI_SHORT_STR); });
    } else if (layerOf(WAVE_TAGS, tag) >= 0) {
        resumeShown(tag);
        dirtyLayer = 1;
    } else if (tag == 244 || tag == 245 || tag == 347 || tag == 349 || tag == 397 || tag == 555) {
        resumeShown(tag);
    } else if (tag == 246 || tag == 247 || tag == 344 || tag == 408 || tag == 666 || tag == 667) {
        resumeMain(tag);
    } else if (layerOf(LAYER_SOURCE_TAGS, tag) >= 0) {
        resumeShown(tag);
        // The container must show the new model's knobs too.
        dirtyLayer = 1;
    } else if (layerOf(LAYER_DEST_TAGS, tag) >= 0) {
        if (screenMode == kPageMain) resumeMain(tag);
    } else if (layerOf(WIRE_ON_TAGS, tag) >= 0) {
        dirtyLayer = 1;
        generic = true;
    } else if (layerOf(FM_MODE_TAGS, tag) >= 0) {
        resumeShown(tag);
    } else if (layerOf(FILTER_MODE_TAGS, tag) >= 0) {
        forMenus(tag, shown, [&](TOptionMenu* m) { resumeSubMenu(m, tag, FILTER_MODE_STR); });
    } else if (tag == 355 || tag == 356 || tag == 358 || tag == 359) {
        dirtyLFO = 1;
    } else if (tag == 395) {
        if (screenMode == kPageEasy) resumeShown(tag);
        else if (screenMode == kPageMain) dirtyArp = 1;
    } else if (tag == 396 || tag == 409 || tag == 410 || tag == 411 || tag == 407) {
        // The arp mode follows a host change at once, like its neighbours.
        if (screenMode == kPageMain) resumeMain(tag);
        else if (tag == 407) resumeShown(tag);
        dirtyArp = 1;
    } else if (layerOf(CHORD_NOTES_TAGS, tag, 4) >= 0) {
        dirtyChord = 1;
    } else {
        generic = true;
    }
    if (!generic || tagControlIndex[tag] < 0) return;
    const float v = plugin->getParameter(tag);
    for (int i = 0; i < controlCount; ++i)
        if (controlKind[i] != kControlMenu && controls[i] && controls[i]->getTag() == tag) {
            controls[i]->setValue(v);
            controls[i]->setDirty(true);
        }
}

void uEditor::setParameterAutomated(int tag, float value) {
    if (plugin && isValidTag(tag)) plugin->setParameterAutomated(tag, value);
}

void uEditor::valueChanged(CControl* control) {
    if (!plugin || !frame || !finishedOpening || !control) return;
    drainPending();
    // Command controls are known by identity, whatever their tag.
    if (commandChanged(control)) return;
    const int tag = control->getTag();
    if (!isValidTag(tag)) return;
    APlugin& p = *plugin;

    int i = -1;
    for (int k = controlCount - 1; k >= 0; --k)
        if (controls[k] == control) {
            i = k;
            break;
        }
    if (i >= 0 && controlKind[i] == kControlMenu) {
        auto* menu = static_cast<TOptionMenu*>(control);
        const int chosen = menu->getCurrent();
        const bool lockable = tag == 244 || tag == 245 || tag == 246 || tag == 247 || (tag >= 395 && tag <= 397) ||
                              (tag >= 407 && tag <= 411);
        if (layerOf(SEMI_TAGS, tag) >= 0) {
            const int row = rowOf(SEMI_SHORT_STR, kSemiSteps, chosenTitle(menu));
            // The host is not told of semitone choices; the index is stored like every
            // stepped value so that it decodes to the row chosen.
            if (row >= 0) p.setParameter(tag, (row + 0.1f) / kSemiRange);
        } else if (layerOf(FILTER_MODE_TAGS, tag) >= 0) {
            const int row = rowOf(FILTER_MODE_STR, 35, chosenTitle(menu));
            if (row >= 0) p.setSteppedValue(tag, row);
        } else if (layerOf(WAVE_TAGS, tag) >= 0) {
            p.setSteppedValue(tag, chosen);
            setParameterAutomated(WAVE_SYM_TAGS[layerOf(WAVE_TAGS, tag)], 0.5f);
        } else if (layerOf(LAYER_SOURCE_TAGS, tag) >= 0) {
            p.setSteppedValue(tag, chosen);
            dirtyLayer = 1;
        } else if (tag == 347) {
            p.setSteppedValue(tag, chosen);
            updateDistort();
        } else if (tag == 349) {
            p.setSteppedValue(tag, chosen);
            updateModFX();
        } else if (lockable) {
            if (!p.getLocked()) p.setSteppedValue(tag, chosen);
        } else if (tag == CHORD_NOTES_TAGS[selectedChord & 3]) {
            if (chosen >= 1) p.setSteppedValue(tag, chosen);
            else setParameterAutomated(tag, 0.f);
        } else if (tag == 667 || tag == 666) {
            p.setSteppedValue(tag, chosen);
            if (tag == 666 && p.getSteppedValue(666) != 0) p.setRibbonSpringOn();
            if (ribbonSlider) ribbonSlider->invalid();
        } else {
            p.setSteppedValue(tag, chosen);
        }
        return;
    }
    if (tag == 665) {
        setParameterAutomated(665, control->getValue());
        setParameterAutomated(126, p.getOnOff(665) ? 0.5f : 0.0f);
        if (ribbonSlider) {
            ribbonSlider->setValue(p.getParameter(126));
            ribbonSlider->setDirty(true);
        }
        return;
    }
    setParameterAutomated(tag, control->getValue());
}

void uEditor::setModValue(TKnob* knob) {
    if (!knob) return;
    const int step = static_cast<int>(lastIdleTick / 200);
    const int tag = knob->getTag();
    if (!isValidTag(tag) || tagLastModTick[tag] == step) return;
    tagLastModTick[tag] = step;
    if (plugin) knob->setModValue(plugin->getModValue(tag), step);
}

void uEditor::setDropTag(int tag) {
    dropTag = tag;
    if (tag != -1 && plugin && isValidTag(tag)) {
        dropTagValue = plugin->getParameter(tag);
        dialReleased = 0;
    }
}

void uEditor::releasedDropDial() { dialReleased = 1; }

void uEditor::dropMod() {
    if (dropTag == -1) return;
    const int tag = dropTag;
    dropTag = -1;
    if (!plugin || !isValidTag(tag) || !droppable[tag] || !prefDragAndDrop) return;
    setParameterAutomated(tag, dropTagValue);
    const int dest = plugin->getTagDest(tag);
    if (dest == 0) return;
    for (int slot = 0; slot < 8; ++slot)
        if (plugin->getModSlotDest(slot) == 0) {
            plugin->setModSlotVar(slot, false, 0.5f, 0, dest);
            if (modScreen) modScreen->invalid();
            return;
        }
}
