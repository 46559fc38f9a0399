// The menus that belong to no parameter section: the settings menu, the controller-map menu
// and the output-scope menu. None of them takes an undo snapshot: they change preferences and
// engine settings, not the program's parameters.
#include <string>

#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "editor/uEditorNumber.h"
#include "platform/dialogs.h"
#include "platform/prefs.h"
#include "platform/strutil.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

namespace {

// One on/off line of the settings menu: its group head, the two texts, and the key.
struct SettingSwitch {
    const char* head;
    const char* onText;
    const char* offText;
};

const SettingSwitch ANIMATION = {"Dial Animation", "Dial Animation: On", "Dial Animation: Off"};
const SettingSwitch TOOL_TIPS = {"Tool-Tips", "Tool-Tips: On", "Tool-Tips: Off"};
const SettingSwitch KEYBOARD = {"Computer Keyboard", "Computer Keyboard: On", "Computer Keyboard: Off"};
const SettingSwitch DRAG_DROP = {"Drag And Drop", "Drag And Drop: On", "Drag And Drop: Off"};
const SettingSwitch MIDI_PRESET = {"MIDI Preset Change", "MIDI Preset: On", "MIDI Preset: Off"};
const SettingSwitch MIDI_BANK = {"MIDI Bank Change", "MIDI Bank: On", "MIDI Bank: Off"};
const SettingSwitch MIDI_CAPTURE = {"External MIDI Capture Mode", "External MIDI Capture Mode: On",
                                    "External MIDI Capture Mode: Off"};
const SettingSwitch MIDI_SPRING = {"MIDI Spring Back", "MIDI Spring Back: On", "MIDI Spring Back: Off"};

void addSwitchGroup(TCommandMenu& menu, const SettingSwitch& s, bool on) {
    menu.addSeparator().addGrey(s.head).addSwitch(s.onText, s.offText, on);
}

// Toggles `state` when the line that names it was chosen; true when it did.
bool toggleIfChosen(const TCommandMenu& menu, const SettingSwitch& s, bool& state) {
    if (menu.chose(s.onText)) state = false;
    else if (menu.chose(s.offText)) state = true;
    else return false;
    return true;
}

const char* const kAboutText =
    "Tavrolune\n"
    "VST 2.4 Plug-in Version 1.0.0 for Linux.\n"
    "A 16-voice synthesizer with three layers, effects, arpeggiator and chords.";

}  // namespace

// ---- settings ----------------------------------------------------------------------------------

void uEditor::showControlMenu() {
    if (!frame || !plugin) return;
    // A channel stored from outside may lie beyond the table.
    int channel = loadIntFromPrefs(REG_MIDI_IN_CHANNEL_STR);
    if (channel < 0) channel = 0;
    if (channel > 16) channel = 16;
    bool midiPreset = getRegisterIsOn(REG_MIDI_PRESET_STR, true);
    bool midiBank = getRegisterIsOn(REG_MIDI_BANK_STR, true);
    bool midiCapture = getRegisterIsOn(REG_MIDI_CAPTURE_STR, true);
    bool midiSpring = getRegisterIsOn(REG_MIDI_SPRING_CHANNEL_STR, true);
    bool animation = getRegValue(REG_DIAL_ANIMATION_STR, true);
    bool toolTip = getRegValue(REG_TOOL_TIP_STR, true);

    TCommandMenu menu;
    menu.addGrey("Control Menu").addSeparator();
    menu.addGrey(std::string("Screen Size: ") + SCREEN_SIZE_STR[getBig()]);
    menu.addAll(SET_SCREEN_SIZE_STR, 4);
    addSwitchGroup(menu, ANIMATION, animation);
    addSwitchGroup(menu, TOOL_TIPS, toolTip);
    addSwitchGroup(menu, KEYBOARD, prefKeyboard);
    addSwitchGroup(menu, DRAG_DROP, prefDragAndDrop);
    addSwitchGroup(menu, MIDI_PRESET, midiPreset);
    addSwitchGroup(menu, MIDI_BANK, midiBank);
    menu.addSeparator().addGrey(std::string("MIDI Input Channel: ") + MIDI_IN_CHANNEL_STR[channel]);
    menu.add("Set MIDI Input Channel");
    addSwitchGroup(menu, MIDI_CAPTURE, midiCapture);
    addSwitchGroup(menu, MIDI_SPRING, midiSpring);
    menu.addSeparator().add("Reset Everything").add("About Tavrolune");
    if (!popupCommandMenu(menu, -1)) return;

    const int size = menu.choseRow(SET_SCREEN_SIZE_STR, 4);
    if (size >= 0) setScreenSize(size);
    // The editor's switches start from what the menu showed.
    if (toggleIfChosen(menu, ANIMATION, animation)) prefAnimation = animation;
    if (toggleIfChosen(menu, TOOL_TIPS, toolTip)) prefToolTip = toolTip;
    toggleIfChosen(menu, KEYBOARD, prefKeyboard);
    toggleIfChosen(menu, DRAG_DROP, prefDragAndDrop);
    if (toggleIfChosen(menu, MIDI_PRESET, midiPreset)) saveBoolToPrefs(REG_MIDI_PRESET_STR, midiPreset);
    if (toggleIfChosen(menu, MIDI_BANK, midiBank)) saveBoolToPrefs(REG_MIDI_BANK_STR, midiBank);
    if (toggleIfChosen(menu, MIDI_CAPTURE, midiCapture)) {
        saveBoolToPrefs(REG_MIDI_CAPTURE_STR, midiCapture);
        plugin->resetMIDICapture();
    }
    if (toggleIfChosen(menu, MIDI_SPRING, midiSpring)) saveBoolToPrefs(REG_MIDI_SPRING_CHANNEL_STR, midiSpring);
    if (menu.chose("Set MIDI Input Channel")) {
        std::string text = std::to_string(loadIntFromPrefs(REG_MIDI_IN_CHANNEL_STR));
        inputBoxStr("Set MIDI Input Channel (0 for Omni)", "MIDI Channel", text);
        stripAllButNum(text);
        bool digits = false;
        const int value = readTypedInt(text, &digits);
        if (digits && value >= 0 && value <= 16) {
            saveIntToPrefs(REG_MIDI_IN_CHANNEL_STR, value);
            plugin->updateMIDIChannel(false);
        }
    }
    if (menu.chose("Reset Everything")) plugin->doHardReset();
    if (menu.chose("About Tavrolune")) messageBox(kAboutText, 2);

    // Written back whatever was chosen, also when nothing was.
    saveBoolToPrefs(REG_DIAL_ANIMATION_STR, prefAnimation);
    saveBoolToPrefs(REG_TOOL_TIP_STR, prefToolTip);
    saveBoolToPrefs(REG_KEYBOARD_STR, prefKeyboard);
    saveBoolToPrefs(REG_DRAG_AND_DROP_STR, prefDragAndDrop);
    endCommandMenu(menu);
}

// ---- controller map ------------------------------------------------------------------------------

void uEditor::showECSMenu() {
    if (!frame || !plugin) return;
    TCommandMenu menu;
    menu.addGrey("ECS Menu").addSeparator().add("Load ECS").add("Save ECS").add("Clear All MIDI");
    if (!popupCommandMenu(menu, -1)) return;
    if (menu.chose("Load ECS")) plugin->loadECS();
    if (menu.chose("Save ECS")) plugin->saveECS();
    if (menu.chose("Clear All MIDI")) plugin->resetMIDI();
    endCommandMenu(menu);
}

// ---- output scopes ---------------------------------------------------------------------------------

void uEditor::showOutputMenu(int layer) {
    if (!frame || !plugin) return;
    if (layer < 0 || layer > 2) return;
    TWaveScreen* const pair[2] = {scopesMain[layer], scopesEasy[layer]};
    const TWaveScreen* shown = pair[0] ? pair[0] : pair[1];

    TCommandMenu menu;
    menu.addGrey("Output Screen Menu");
    TCommandMenu& info = menu.addSubmenu("Output Screen Menu Information");
    info.addGrey("Left Click + Control: Show this Menu").addGrey("Left Click + Command: Reset Zoom");
    info.addGrey("Double Click: Reset Zoom").addGrey("Right Click: Show this Menu").addGrey("Scroll Wheel: Change Zoom");
    menu.addSeparator();
    menu.addSwitch("Output Screen: On", "Output Screen: Off", getRegValue(REG_OUTPUT_DISPLAY_STR, true));
    menu.addSeparator();
    menu.addGrey("Zoom Level: " + std::to_string(shown ? shown->getZoom() : 100) + "%");
    menu.add("Zoom In").add("Zoom Out").add("Reset Zoom");
    menu.addSeparator().addSeparator();
    menu.addGrey("Output Screen Speed");
    menu.addSwitch("Output Screen Fast Speed", "Output Screen Slow Speed",
                   getRegValue(REG_OUTPUT_DISPLAY_SPEED_STR, false));
    if (!popupCommandMenu(menu, -1)) return;

    // Zoom acts on the clicked layer's scope on both pages, so the two keep one factor.
    for (TWaveScreen* scope : pair) {
        if (!scope) continue;
        if (menu.chose("Zoom In")) scope->setZoom(0.5f);
        if (menu.chose("Zoom Out")) scope->setZoom(2.0f);
        if (menu.chose("Reset Zoom")) scope->resetZoom();
    }
    if (menu.chose("Output Screen: On")) prefOutputDisplay = false;
    if (menu.chose("Output Screen: Off")) prefOutputDisplay = true;
    saveBoolToPrefs(REG_OUTPUT_DISPLAY_STR, prefOutputDisplay);
    for (int l = 0; l < 3; ++l)
        for (TWaveScreen* scope : {scopesMain[l], scopesEasy[l]})
            if (scope) scope->setOn(prefOutputDisplay);
    if (menu.chose("Output Screen Slow Speed")) prefOutputDisplaySpeed = true;
    if (menu.chose("Output Screen Fast Speed")) prefOutputDisplaySpeed = false;
    saveBoolToPrefs(REG_OUTPUT_DISPLAY_SPEED_STR, prefOutputDisplaySpeed);
    endCommandMenu(menu);
}
