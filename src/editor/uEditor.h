// The editor object. The plug-in creates exactly one and keeps it for its whole life; the host
// opens and closes its window any number of times. The object keeps what lasts across openings
// (preferences read once, per-mode knob memories, section data); its views (frame, section
// containers, controls, bitmaps) exist only from open() to close().
//
// Threads. Everything that draws or changes a view runs on the UI thread (the thread that
// called open). setParameter, updateIdleVars and clearUndos may also arrive from the audio
// thread or a host's automation thread: there they only record the work (a pending bit per tag,
// two flags), and the UI thread does it at the start of its next idle call, before any menu
// opens. The open-state bytes of the plug-in and those records are all other threads touch.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/TControlEditor.h"
#include "gui/vstgui.h"
#include "plugin/TEditorLink.h"

class APlugin;
class TKnob;
class TOnOff;
class TKickButton;
class TRadioButton;
class TReadout;
class TLabel;
class TOptionMenu;
class TMenuButton;
class THSlider;
class TModScreen;
class TGatorDisplay;
class TWaveScreen;
class TCommandMenu;
class TArpScreen;
class TChordScreen;
class TVelSplitScreen;
class TLine;
class TReadoutString;

// What a registered control is, for the refresh paths.
enum ControlKind {
    kControlCommand = 0,  // kick buttons, radio buttons, readouts, menu buttons, screens
    kControlKnob = 1,
    kControlMenu = 2,     // refreshed from the stepped value, never by the generic path
    kControlOnOff = 3,
    kControlSlider = 4,
    kControlLabel = 5,
};

// The pages of the editor (screenMode).
enum EditorPage { kPageMain = 0, kPageEasy = 1, kPageBack = 3 };

class uEditor : public VSTGUI::AEffGUIEditor,
                public VSTGUI::IControlListener,
                public VSTGUI::IKeyboardHook,
                public TEditorLink,
                public TControlEditor {
public:
    static constexpr int kMaxControls = 10000;
    static constexpr int kNumTags = 1024;
    static constexpr int kWidth100 = 1132;
    static constexpr int kHeight100 = 779;

    explicit uEditor(APlugin* plugin);
    ~uEditor() override;

    // ---- the host's window --------------------------------------------------------------
    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    // Full refresh plug-in -> editor.
    virtual void resume();

    // ---- what the plug-in core calls (any thread; see the header comment) -----------------
    void setEditTag(int tag) override;
    void setParameter(VstInt32 tag, float value) override;
    void clearUndos() override;
    void updateIdleVars() override;
    void updateDistort() override;
    void updateModFX() override;
    void updateLayer() override;

    // ---- controls -> editor ---------------------------------------------------------------
    void valueChanged(VSTGUI::CControl* control) override;
    int32_t onKeyDown(const VstKeyCode& code, VSTGUI::CFrame* frame) override;
    int32_t onKeyUp(const VstKeyCode& code, VSTGUI::CFrame* frame) override;
    using VSTGUI::AEffGUIEditor::onKeyDown;
    using VSTGUI::AEffGUIEditor::onKeyUp;

    // ---- TControlEditor ---------------------------------------------------------------------
    APlugin* getPlugin() const override { return plugin; }
    bool getEditorFinishedOpening() const override { return finishedOpening != 0; }
    int getBig() const override { return screenSizeIndex < 0 ? 0 : (screenSizeIndex > 3 ? 3 : screenSizeIndex); }
    int getSelectedChord() const override { return selectedChord; }
    bool getAnimation() const override { return prefAnimation; }
    bool getDragAndDrop() const override { return prefDragAndDrop; }
    bool isDroppable(int tag) const override { return isValidTag(tag) && droppable[tag]; }
    VSTGUI::CBitmap* getEditorBitmap(int id) const override;
    std::string getDestStr(int dest) const override;
    std::string getDestShortStr(int dest) const override;
    void changeProgramDelta(int delta, bool flag) override;
    void changeRadioDelta(int group, int delta) override;
    void setDropTag(int tag) override;
    void releasedDropDial() override;
    void setSectionUndo(int section) override;
    void resetSection(int section, int skip) override;
    void setSectionToOrig(int section) override;
    void showMIDIMenu(VSTGUI::CControl* control, bool isSlider) override;
    void showControlMenu() override;
    void showECSMenu() override;
    void showLayerMenu(int layer) override;
    void showLFOMenu() override;
    void showDistortMenu() override;
    void showModFXMenu() override;
    void showDelayMenu() override;
    void showReverbMenu() override;
    void showPathMenu() override;
    void showPlayMenu() override;
    void showAmpMenu() override;
    void showStrumMenu(int tag) override;
    void showGaterMenu() override;
    void showModMenu(int slot) override;
    void showArpMenu(int row, int step, bool onCell) override;
    void showChordMenu(int note) override;
    void showVelSplitMenu() override;
    void showOutputMenu(int layer) override;

    // ---- scaling, preferences -----------------------------------------------------------------
    static bool isValidTag(int tag) { return tag >= 0 && tag < kNumTags; }
    int getScaled(int v, int c125 = 0, int c150 = 0, int c200 = 0) const override;
    int getScaledF(float v, int c125 = 0, int c150 = 0, int c200 = 0) const;
    int getScaledBitmap(int id) const;
    static bool getRegValue(const std::string& key, bool deflt);
    static void setRegValue(const std::string& key, bool on);
    static void setRegOn(const std::string& key) { setRegValue(key, true); }
    static void setRegOff(const std::string& key) { setRegValue(key, false); }
    void setScreenSize(int index);

    // ---- the registry ---------------------------------------------------------------------------
    void addControl(VSTGUI::CControl* control, int kind);
    int getControlCount() const { return controlCount; }
    VSTGUI::CControl* getControl(int i) const { return i >= 0 && i < controlCount ? controls[i] : nullptr; }
    int getControlKind(int i) const { return i >= 0 && i < controlCount ? controlKind[i] : -1; }
    int getControlPage(int i) const { return i >= 0 && i < controlCount ? controlPage[i] : -1; }
    int getTagControlIndex(int tag) const { return isValidTag(tag) ? tagControlIndex[tag] : -1; }
    void resumeMenu(TOptionMenu* menu);
    void resumeSubMenu(TOptionMenu* menu, int tag, const char* const* table);
    void resumeSubMenu(TOptionMenu* menu, int tag, float range, int steps, const char* const* table);
    void setMenuValue(int tag, int index);
    void setModValue(TKnob* knob);
    void dropMod();

    // ---- factories: construct, store in the member, register (the caller adds the view) ------
    void createKnob(TKnob*& knob, int tag, int x, int y, int type);
    void createKnob(TKnob*& knob, int tag, int x, int y, int type, TLabel*& label, const std::string& text, int e);
    void createEasyKnob(TKnob*& knob, int tag, int x, int y, int type);
    void createEasyKnob(TKnob*& knob, int tag, int x, int y, int type, TLabel*& label, const std::string& text, int e);
    void createOnOff(TOnOff*& button, int tag, int x, int y);
    void createOnOff(TOnOff*& button, int tag, int x, int y, VSTGUI::CBitmap* bitmap);
    void createOnOff(TOnOff*& button, int tag, int x, int y, TLabel*& label, const std::string& text, int side, int e, int dx);
    void createEasyOnOff(TOnOff*& button, int tag, int x, int y);
    void createEasyOnOff(TOnOff*& button, int tag, int x, int y, TLabel*& label, const std::string& text, int side, int e, int dx);
    void createKickButtonArea(VSTGUI::CKickButton*& button, int x, int y, int w, int h);
    void createKickButton(TKickButton*& button, int x, int y, int w, int h, const std::string& text, int style = 1);
    void createKickButton(VSTGUI::CKickButton*& button, int x, int y, int tag, VSTGUI::CBitmap* bitmap);
    void createOnOffKick(TKickButton*& button, int x, int y);
    void createEasyOnOffKick(TKickButton*& button, int x, int y);
    void createKickButtonLabel(TKickButton*& button, int x, int y, TLabel*& label, const std::string& text, int side,
                               VSTGUI::CColor colour, int e);
    void createEasyKickButtonLabel(TKickButton*& button, int x, int y, TLabel*& label, const std::string& text,
                                   int side, VSTGUI::CColor colour, int e);
    void createRadio(TRadioButton*& radio, int x, int y, int group, int index, bool easy);
    void createRadio(TRadioButton*& radio, int x, int y, int w, int h, const std::string& text, int group, int index);
    void createReadout(TReadout*& readout, int x, int y, int w, int h, const std::string& text, bool a, bool b);
    void createMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, int count, const char* const* entries,
                    bool centred, bool delta);
    void createMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, const char* const* entries, bool centred,
                    bool delta);
    void createMenuButton(TMenuButton*& button, int type, int x, int y, int w, int h, const std::string& text, bool a,
                          bool b);
    void createLabel(TLabel*& label, int x, int y, int w, int h, const std::string& text, VSTGUI::CFontDesc* font,
                     VSTGUI::CColor colour, int align);
    void createLabelMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, int count, const char* const* entries,
                         TLabel*& label, const std::string& text, int e, int placement, bool delta);
    void createEasyLabelMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, int count,
                             const char* const* entries, TLabel*& label, const std::string& text, int e, int placement,
                             bool delta);

    // ---- state the tests and the next layers read -------------------------------------------
    int getScreenMode() const { return screenMode; }
    // The tag of the edit gesture under way (-1 none).
    int getEditTag() const { return editTag; }
    VSTGUI::CControl* getControlBeingEdited() const { return controlBeingEdited; }
    VSTGUI::CFrame* getFrame() const override { return frame; }
    VSTGUI::CViewContainer* getSectionContainer(int i) const { return i >= 0 && i < kNumContainers ? containers[i] : nullptr; }
    int getLiveViewCount() const { return static_cast<int>(releasers.size()); }
    int getLoadedBitmapCount() const;
    bool hasPendingWork() const;

    // The 18 section containers, in the order they are created and released.
    enum Container {
        kLayerRight0, kLayerLeft0, kEasyLayerLeft0, kEasyLayerRight0,
        kLayerRight1, kLayerLeft1, kEasyLayerLeft1, kEasyLayerRight1,
        kLayerRight2, kLayerLeft2, kEasyLayerLeft2, kEasyLayerRight2,
        kModFXView, kLFOView, kModView, kChordView, kEasyModFXView, kEasyChordView,
        kNumContainers
    };

protected:
    // Builds the three pages' controls into the registry (each page's builder is its own
    // unit; a page not built yet leaves its containers empty).
    virtual void createMainScreenControls();
    virtual void createEasyScreenControls();
    virtual void createBackScreen();
    // ---- screen switching and section containers ----------------------------------------
public:
    // Page switches: detach every view from the frame and attach the page's views.
    void showMainScreen();
    void showEasyScreen();
    void showTop();
    // Section rebuilders, run from idle when their dirty byte is set: each empties its
    // container(s) and attaches the page of the section's current state.
    void redrawLayerViewContainer();
    void redrawModFXViewContainer(bool easy);
    void redrawLFOViewContainer();
    void redrawModViewContainer();
    void redrawChordViewContainer();
    void updateArpPreset();
    void updateDistortLabels(bool onlyIfChanged);
    // Rebuilds the mode-dependent destination names.
    void updateDestStr();
    // The mode changes reported off the UI thread, done at the start of an idle step.
    void idleSections();
    void applyDistort();
    void applyModFX();
    // Views the section rebuilders may attach to a container (never to the frame directly).
    void collectSectionViews(std::vector<VSTGUI::CView*>& out) const;
    void attachPageControls(int page, const std::vector<VSTGUI::CView*>& sectionViews);
    // Attaches the main builder's recorded views of a container (-1: the frame) that the
    // section page `page` shows.
    void showRecorded(int container, int page);
    void resumeMenus(int tag, int page);
    void resumeSubMenus(int tag, int page, const char* const* table);
    void resumeSemiMenus(int tag, int page);
    // Slot ranges of the layer containers per source type (Wire, String, FM, Wave).
    static constexpr int LAYER_KNOB_START[4] = {0, 14, 28, 44};
    static constexpr int LAYER_KNOB_END[4] = {13, 27, 43, 56};
    static constexpr int LAYER_LABEL_END[4] = {13, 27, 43, 57};
    static constexpr int EASY_LAYER_KNOB_START[4] = {0, 9, 19, 31};
    static constexpr int EASY_LAYER_KNOB_END[4] = {8, 18, 30, 40};
    static constexpr int EASY_LAYER_LABEL_END[4] = {8, 18, 30, 41};
    // Per Mod FX mode, the variables (0 the mix, v > 0 tag 107 + v) of the easy page's knobs.
    static constexpr int EASY_VARS[11][4] = {{0, 1, 2, 3}, {0, 1, 2, 5}, {0, 1, 2, 3}, {0, 1, 2, 3},
                                             {0, 1, 3, 4}, {0, 1, 3, 4}, {0, 1, 3, 5}, {0, 1, 3, 5},
                                             {0, 1, 3, 5}, {0, 1, 3, 4}, {0, 1, 2, 3}};

protected:

    // Keeps one reference of a view or bitmap for the editor until close(); the member is
    // nulled when it is released.
    template <class T>
    T* own(T*& member, T* object) {
        member = object;
        if (object) releasers.push_back([&member]() {
            if (member) {
                member->forget();
                member = nullptr;
            }
        });
        return object;
    }
    // Adds a view the editor owns to a container (or the frame): the container takes a
    // reference of its own.
    static void attach(VSTGUI::CViewContainer* parent, VSTGUI::CView* view);

    void createBitmaps();
    void removeBitmaps();
    void createContainers();
    void removeContainers();
    void removeControls();
    void clearRegistry();
    // The UI thread's share of work recorded by other threads.
    void drainPending();
    bool deferOffUIThread(std::atomic<bool>& flag);
    void finishScreenSwitch();
    void applyParameter(int tag);
    void applyIdleVars();
    void doClearUndos();
    // The editor's own edits of a tag reach the host; the core tells it of edit gestures.
    void setParameterAutomated(int tag, float value);
    // Menus of a tag on a page (main, easy) for the refresh rows.
    template <class F>
    void forMenus(int tag, int page, F f);
    void labelRect(TLabel*& label, const VSTGUI::CRect& r, const std::string& text, VSTGUI::CColor colour, int align);
    void switchLabel(TLabel*& label, int x, int y, int w, int h, int lineH, const std::string& text, VSTGUI::CColor colour,
                     int side, int e, int sideGap, int underGap);

    APlugin* plugin;

    // Open state.
    uint8_t finishedOpening = 0;
    uint8_t resuming = 0;
    uint8_t switchingScreen = 0;
    uint8_t lastEditChanged = 0;
    int screenSizeIndex = 0;
    float scale = 1.f;
    int screenMode = kPageEasy;
    int buildingPage = kPageMain;

    // Preferences.
    bool prefToolTip = true;
    bool prefKeyboard = true;
    bool prefDragAndDrop = true;
    bool prefAnimation = true;
    bool prefDisplayGaterPos = true;
    bool prefOutputDisplay = true;
    bool prefOutputDisplaySpeed = false;

    // Dirty and busy bytes of the section pages (raised here, cleared by the page code).
    uint8_t dirtyModFX = 0, dirtyMod = 0, dirtyLayer = 0, dirtyLFO = 0, dirtyChord = 0, dirtyArpPreset = 0,
            dirtyArp = 0;
    uint8_t busyModFX = 0, busyLayer = 0, busyLFO = 0, busyChord = 0, layersRebuilt = 0;

    // Idle clocks.
    uint32_t lastIdleTick = 0;
    uint32_t lastProgramStepTick = 0;
    int hoverStep = 0;

    // Drag and drop onto the modulation matrix.
    int dropTag = -1;
    float dropTagValue = 0.f;
    uint8_t dialReleased = 1;
    uint8_t droppable[kNumTags];

    // The registry.
    int controlCount = 0;
    VSTGUI::CControl* controls[kMaxControls];
    int controlKind[kMaxControls];
    int8_t controlPage[kMaxControls];
    int tagControlIndex[kNumTags];
    int tagLastModTick[kNumTags];
    VSTGUI::CControl* controlBeingEdited = nullptr;
    int editTag = -1;

    // Section state shown.
    int distortMode = 0, modFXMode = 0;
    int selectedChord = 0, velSplitLayer = 0, selectedLFO = 0, modViewPage = 0;

    // Per-mode knob memories: distortion tags 104..106, Mod FX tags 107..112 and 350.
    float distortDefaults[26][3];
    float distortMemory[26][3];
    float modFXDefaults[11][7];
    float modFXMemory[11][7];

    // Views of one opening.
    VSTGUI::CViewContainer* containers[kNumContainers] = {};
    TModScreen* modScreen = nullptr;
    THSlider* ribbonSlider = nullptr;
    struct BitmapSlot {
        int id;
        VSTGUI::CBitmap* bitmap;
    };
    static constexpr int kNumBitmaps = 39;
    BitmapSlot bitmaps[kNumBitmaps];
    std::vector<std::function<void()>> releasers;

    // Work recorded off the UI thread.
    std::atomic<uint64_t> pendingTags[kNumTags / 64];
    std::atomic<bool> pendingIdleVars{false};
    std::atomic<bool> pendingClearUndos{false};
    std::atomic<bool> pendingAny{false};

    // ---- sections, undo stacks, clipboards, section files and the command menu frame ------
public:
    // The 27 sections: fixed, ordered lists of tags that the section commands act on.
    enum EditorSection {
        kSectionAllLayers, kSectionLayer1, kSectionLayer2, kSectionLayer3, kSectionLFOs, kSectionLFO1,
        kSectionLFO2, kSectionGator, kSectionArpPreset, kSectionArp, kSectionModMatrix, kSectionVelSplits,
        kSectionVelSplit1, kSectionVelSplit2, kSectionVelSplit3, kSectionAllChords, kSectionChord1,
        kSectionChord2, kSectionChord3, kSectionChord4, kSectionDistortFX, kSectionModFX, kSectionDelay,
        kSectionReverb, kSectionPath, kSectionPlay, kSectionAmp, kNumSections
    };
    static constexpr int kSectionCapacity = 256;  // the longest list (Arp) holds 256 tags
    static constexpr int kUndoLevels = 16;
    static const int LAYER_SECTIONS[3];      // layer 0..2
    static const int VEL_SPLIT_SECTIONS[3];  // layer 0..2
    static const int CHORD_SECTIONS[4];      // chord 0..3
    static bool validSection(int section) { return section >= 0 && section < kNumSections; }
    // Every operation below does nothing for a section outside 0..26 or without a plug-in.
    // Copy, paste, undo, file loads and the between-section copies write plainly (the host is
    // not told); resetSection and setSectionToOrig write through the host.
    void setSectionTags();
    void undoSection(int section);
    void copySection(int section);
    void pasteSection(int section);
    void copySections(int from, int to);
    void swapSections(int a, int b);
    // Section preset files (layers, arp preset, mod matrix, velocity splits, chords).
    void saveSection(int section);
    void loadSection(int section);
    int getSectionTagCount(int section) const;
    int getSectionTag(int section, int position) const;  // -1 outside the list
    int getUndoIndex(int section) const;                 // -1 for an empty stack
    bool getClipboardValid(int section) const;

protected:
    void initSections();
    // Carries out what other threads recorded, a pending clear of the stacks included.
    void drainBeforeUndo();
    std::string sectionFileFolder(int section) const;
    // Writes a section file whole or not at all (a seam for tests of failed writes).
    virtual bool writeSectionFile(const std::string& path, const std::string& text);
    // The command menu frame (see uEditorMenu.h): pops `menu` up at the pointer and reads the
    // choice; with a valid undo section, "Undo" pops it and every other outcome (a dismissal
    // too) pushes it first. False, with nothing shown or pushed, without a window or plug-in.
    bool popupCommandMenu(TCommandMenu& menu, int section);
    // Removes the menu, redraws the frame and, when asked, refreshes every control (resume).
    void endCommandMenu(TCommandMenu& menu, bool resumeAfter = true);
    // "Undo", greyed while the section's stack is empty.
    void addUndoEntry(TCommandMenu& menu, int section) const;
    // "Paste " + what, greyed until something was copied into the section's clipboard.
    void addPasteEntry(TCommandMenu& menu, const std::string& what, int section) const;

    int sectionTags[kNumSections][kSectionCapacity];
    int sectionTagCount[kNumSections];
    // Snapshots by list position; level 0 is the oldest, undoIndex the newest (-1 none).
    float undoValues[kNumSections][kUndoLevels][kSectionCapacity];
    int undoIndex[kNumSections];
    float clipboard[kNumSections][kSectionCapacity];
    uint8_t clipboardValid[kNumSections];

    // ---- screen switching and section containers ----------------------------------------
    // The page builders fill these members; the page switches and the section rebuilders
    // attach them. A member left null is a view that was not created and is skipped.
    // Section pages (Mod FX, layers, LFO, mod, chord, arp presets).
    uint8_t busyMod = 0, busyArpPreset = 0;
    int chordViewMode = 0;
    int velSplitValues[3][4] = {};
    // Main page, per layer: the knob container's knobs and captions (slot tables in
    // uEditorShowControls.cpp), the output scope, and the header container's controls.
    TKnob* layerKnobs[3][57] = {};
    TLabel* layerKnobLabels[3][58] = {};
    TWaveScreen* scopesMain[3] = {};
    TOnOff* layerThinOnOffs[3] = {};
    TLabel* layerThinLabels[3] = {};
    TLabel* layerFilterTitles[3] = {};
    TMenuButton* layerFilterButtons[3] = {};
    TOnOff* layerFreeOnOffs[3] = {};
    TLabel* layerFreeLabels[3] = {};
    TOnOff* layerDriftOnOffs[3] = {};
    TLabel* layerDriftLabels[3] = {};
    TLabel* layerFMModeLabels[3] = {};
    TOptionMenu* layerFMModeMenus[3] = {};
    TLabel* layerSemiLabels[3] = {};
    TOptionMenu* layerSemiMenus[3] = {};
    TLabel* layerFilterLabels[3] = {};
    TOptionMenu* layerFilterModeMenus[3] = {};
    TOptionMenu* layerWaveMenus[3] = {};  // in the knob container; its caption is label slot 46
    // Easy page, per layer: the same for the easy containers.
    TKnob* easyLayerKnobs[3][41] = {};
    TLabel* easyLayerLabels[3][42] = {};
    TWaveScreen* scopesEasy[3] = {};
    TLabel* easyLayerFilterTitles[3] = {};
    TMenuButton* easyLayerFilterButtons[3] = {};
    TLabel* easyLayerFMModeLabels[3] = {};
    TOptionMenu* easyLayerFMModeMenus[3] = {};
    TLabel* easyLayerSemiLabels[3] = {};
    TOptionMenu* easyLayerSemiMenus[3] = {};
    TLabel* easyLayerFilterLabels[3] = {};
    TOptionMenu* easyLayerFilterModeMenus[3] = {};
    TOptionMenu* easyLayerWaveMenus[3] = {};  // in the left container; its caption is label slot 32
    // Mod FX: main knobs of tags 107..112 with their captions, the Gator step displays
    // (left 111, right 112) and their captions; the easy page's four knobs (retagged per mode).
    TKnob* modFXKnobs[6] = {};
    TLabel* modFXKnobLabels[6] = {};
    TGatorDisplay* gatorDisplays[2] = {};
    TLabel* gatorLabels[2] = {};
    TKnob* easyModFXKnobs[4] = {};
    TLabel* easyModFXLabels[4] = {};
    TGatorDisplay* easyGatorDisplays[2] = {};
    TLabel* easyGatorLabels[2] = {};
    // Distortion knobs (tags 104, 105, 106) and their captions on both pages.
    TKnob* distortKnobs[3] = {};
    TLabel* distortLabels[3] = {};
    TKnob* easyDistortKnobs[3] = {};
    TLabel* easyDistortLabels[3] = {};
    // LFO container, per LFO: captions (wave, mode, speed, sync), menus, speed knob, sync.
    TLabel* lfoLabels[2][4] = {};
    TOptionMenu* lfoWaveMenus[2] = {};
    TOptionMenu* lfoModeMenus[2] = {};
    TKnob* lfoSpeedKnobs[2] = {};
    TOnOff* lfoSyncOnOffs[2] = {};
    // Mod container: matrix page captions, split page captions, layer radios, value fields,
    // the split screen; the connector line on the frame (shown with the split page).
    TLabel* modMatrixLabels[4] = {};
    TLabel* velSplitLabels[4] = {};
    TRadioButton* velSplitLayerRadios[3] = {};
    VSTGUI::CTextEdit* velSplitFields[3][4] = {};
    TVelSplitScreen* velSplitScreen = nullptr;
    TLine* modViewLine = nullptr;
    // Chord container (main): per chord the note-count menu, strum knob, sync switch and their
    // captions; the play-order menu and caption; the strum value button. Easy: per chord the
    // strum knob, sync switch and captions.
    TOptionMenu* chordNotesMenus[4] = {};
    TLabel* chordNotesLabels[4] = {};
    TKnob* chordStrumKnobs[4] = {};
    TLabel* chordStrumLabels[4] = {};
    TOnOff* chordSyncOnOffs[4] = {};
    TLabel* chordSyncLabels[4] = {};
    TOptionMenu* chordModeMenu = nullptr;
    TLabel* chordModeLabel = nullptr;
    TMenuButton* strumMenuButton = nullptr;
    TKnob* easyChordStrumKnobs[4] = {};
    TLabel* easyChordStrumLabels[4] = {};
    TOnOff* easyChordSyncOnOffs[4] = {};
    TLabel* easyChordSyncLabels[4] = {};
    // Page radios and section screens on the frame.
    TRadioButton* lfoRadios[2] = {};
    TRadioButton* modPageRadios[2] = {};
    TRadioButton* chordRadios[4] = {};
    TRadioButton* chordViewRadios[3] = {};
    TRadioButton* easyChordRadios[4] = {};
    TArpScreen* arpScreen = nullptr;
    TChordScreen* chordScreen = nullptr;
    // The top strip (built with the main page, shown on both front pages).
    TLabel* topLabels[6] = {};  // "PRESET", "BANK", "EDIT", "ORIG", "ECS", "HELP"
    TOptionMenu* presetMenu = nullptr;
    TOptionMenu* folderMenu = nullptr;
    VSTGUI::CKickButton* previewButton = nullptr;
    TKickButton* editedButton = nullptr;
    TKickButton* origButton = nullptr;
    TMenuButton* ecsMenuButton = nullptr;
    TKickButton* helpButton = nullptr;
    VSTGUI::CKickButton* screenSwitchArea = nullptr;
    VSTGUI::CKickButton* backPageArea = nullptr;
    TMenuButton* controlMenuButton = nullptr;
    TReadout* paramNameReadout = nullptr;
    TReadout* paramValueReadout = nullptr;
    // The ribbon group (built with the main page, shown on both front pages; ribbonSlider above).
    TLabel* ribbonLabels[3] = {};  // "BIPLR", "SPRING!BACK", "QUANT"
    TOptionMenu* ribbonSpringMenu = nullptr;
    TOptionMenu* ribbonQuantMenu = nullptr;
    TOnOff* ribbonOnOff = nullptr;
    // The easy page's arp preset (tag 849) and folder (tag 848) menus.
    TOptionMenu* arpPresetMenu = nullptr;
    TOptionMenu* arpFolderMenu = nullptr;
    // The back page's two readouts that a refresh rewrites.
    TReadout* tuningReadout = nullptr;
    TReadout* brickFreqReadout = nullptr;
    // ---- easy page views ----
    // Frame controls of the easy page. The layer envelope columns sit at the knob and caption
    // slots of the EASY_* tables below; the other slots follow the build order. The easy
    // distortion and Mod FX knobs, the arp menus and the layer containers' views have their
    // own members above.
    static constexpr int EASY_PITCH_ENV_LABELS[3] = {0, 1, 2};
    static constexpr int EASY_PITCH_ENV_DEC_LABELS[3] = {3, 4, 5};
    static constexpr int EASY_HP_FREQ_LABELS[3] = {6, 7, 8};
    static constexpr int EASY_VOL_LABELS[3] = {9, 10, 11};
    static constexpr int EASY_VOL_ENV_DEC_LABELS[3] = {12, 13, 14};
    static constexpr int EASY_LAYER_BIG_LABELS[3] = {49, 50, 51};
    static constexpr int EASY_PITCH_ENV_BIG_LABELS[3] = {52, 53, 54};
    static constexpr int EASY_HP_BIG_LABELS[3] = {55, 56, 57};
    static constexpr int EASY_VOL_ENV_BIG_LABELS[3] = {58, 59, 60};
    static constexpr int EASY_LAYER_SOURCE_LABELS[3] = {61, 62, 63};
    static constexpr int kEasyKnobSlots = 40, kEasyLabelSlots = 79, kEasyOnOffSlots = 10;
    TKnob* easyKnobs[kEasyKnobSlots] = {};
    TLabel* easyLabels[kEasyLabelSlots] = {};
    TOnOff* easyOnOffs[kEasyOnOffSlots] = {};      // layer switches at EASY_PITCH_ENV_LABELS, then effects, arp, chord
    TMenuButton* easySectionButtons[9] = {};       // distortion, Mod FX, delay, reverb, LFO, play, arp, chord, amp
    TMenuButton* easyLayerMenuButtons[3] = {};     // over the layer titles
    TMenuButton* easyLayerColumnButtons[3][3] = {};  // over the pitch envelope, high-pass and volume titles
    TOptionMenu* easySourceMenus[3] = {};
    TOptionMenu* easySemiSubMenus[3][4] = {};
    TOptionMenu* easyFilterSubMenus[3][6] = {};
    TOptionMenu* easyDistortMenu = nullptr;
    TOptionMenu* easyModFXMenu = nullptr;
    TKickButton* easyArpCommand = nullptr;
    TOptionMenu* easyArpMenus[3] = {};   // "MODE", "STEPS", "SPEED"
    TOptionMenu* easyPlayMenus[3] = {};  // "PLAY MODE", "PORT MODE", "PLAY LOCK MODE"
    TKickButton* easyChordCommand = nullptr;
    TOptionMenu* easyChordModeMenu = nullptr;
    // ---- back page views ----
    VSTGUI::CKickButton* backPageClose = nullptr;  // the whole page: a click no other control takes leaves it
    TOptionMenu* midiChannelMenu = nullptr;
    TOptionMenu* screenSizeMenu = nullptr;
    TOnOff* backPrefSwitches[5] = {};  // "MIDIPreset", "MIDIBank", "MIDICapture", "Keyboard", "PresetWarning"
    TOnOff* brickFilterSwitch = nullptr;
    TReadout* tuningNameReadout = nullptr;
    TKickButton* tuningResetButton = nullptr;
    TReadoutString* backInfoText = nullptr;
    // The back page's information line: product, platform, plug-in format, version.
    std::string getBackInfoText();
    // Mode changes the plug-in reported off the UI thread, done by the next idle call.
    std::atomic<bool> pendingDistort{false};
    std::atomic<bool> pendingModFX{false};

    // ---- main page views (built by createMainScreenControls) ------------------------------
public:
    // One view the main page builder made, where it belongs (a Container, or -1 for the
    // frame) and the section pages that show it (bit k: source type k of a layer container,
    // LFO k, chord k, mod page k, Mod FX page k (0 plain, 1 Gator); all bits: always).
    struct MainView {
        VSTGUI::CView* view;
        int container;
        unsigned pages;
    };
    const std::vector<MainView>& getMainViews() const { return mainViews; }
    static constexpr int kNumDestNames = 401;
    // Shows the current program's name in the preset menu.
    void updatePresetMenu();
    void updateFolderMenu() {}

protected:
    static constexpr int kNumMainKnobs = 60;
    static constexpr int kNumMainLabels = 160;
    // Destination names with the mode-dependent rows filled in (updateDestStr).
    std::string destNames[kNumDestNames];
    std::string destShortNames[kNumDestNames];
    // Knobs outside the layer containers and captions of the main page; the layer rows'
    // families sit at the slots of their *_KNOBS / *_LABELS tables.
    TKnob* mainKnobs[kNumMainKnobs] = {};
    TLabel* mainLabels[kNumMainLabels] = {};
    TOptionMenu* semiSubMenus[3][4] = {};
    TOptionMenu* filterSubMenus[3][6] = {};
    TMenuButton* sectionButtons[13] = {};
    TMenuButton* layerRowButtons[3][4] = {};  // layer, pitch envelope, high pass, volume
    TOnOff* layerOnOffs[3] = {};
    TOptionMenu* layerSourceMenus[3] = {};
    TOptionMenu* layerOutMenus[3] = {};
    TOnOff* fxOnOffs[8] = {};  // tags 346, 348, 351, 354, 350, 353, 352, 345
    TOptionMenu* distortModeMenu = nullptr;
    TOptionMenu* modFXModeMenu = nullptr;
    TOptionMenu* fxPathMenu = nullptr;
    TOnOff* arpOnOffs[4] = {};  // tags 394, 405, 406, 404
    TKickButton* arpCommandButton = nullptr;
    TOptionMenu* arpMenus[8] = {};
    TKickButton* modCommandButton = nullptr;
    TOnOff* velSplitOnOff = nullptr;
    TOptionMenu* playMenus[5] = {};
    TOnOff* chordOnOff = nullptr;
    TKickButton* chordCommandButton = nullptr;
    std::vector<MainView> mainViews;
    int nextMainLabel = 0;
    // The builder's parts, in creation order, and its record of where each view belongs.
    void createMainTopBar();
    void createMainLayerRow(int layer);
    void createMainLayerViews(int layer);
    void createMainEffects();
    void createMainSections();
    void placeMain(VSTGUI::CView* view, int container, unsigned pages = ~0u);
    TLabel*& newMainLabel();

    // ---- control, layer, LFO, mod matrix and velocity-split menus ----
protected:
    // One modulation slot copied by the mod matrix menu: bypass, source, destination, amount.
    float modSlotClip[4] = {};
    uint8_t modSlotClipValid = 0;

    // ---- Gator, effect, arp, chord and strum menus ----
public:
    // The gate step mask of one Gator side (parameter 111 left, 112 right): bit k is step k,
    // stored as (mask + 0.5) / 65536; 1.0 and 0.0 read as all open and all closed.
    static int decodeGateMask(float value);
    static float encodeGateMask(int mask);
    // Writes the working copy gateSteps into parameters 111 and 112 (plainly).
    void setGaterVar();

protected:
    int gateSteps[16][2] = {};  // [step][0 left, 1 right], each 0 or 1
    float arpStepClip[8] = {};  // one step of the arp grid, by row
    uint8_t arpStepClipValid = 0;
    void loadGateSteps();
    void rotateGateSteps(int m, int length);
    void showEffectMenu(int which);
    int getArpStepCount() const;
    void rotateArp(int m);
    void reverseArp();
    void transposeArp(int semitones);
    void runArpCellCommand(int command, int row, int step);
    int getMenuChord() const;
    // A typed integer for a menu command; false (value untouched) for an empty or cancelled
    // answer.
    bool askMenuNumber(const std::string& prompt, const std::string& title, int& value);

    // ---- idle refresh, keyboard and program stepping, command controls, back page commands ----
public:
    void showBackScreen();
    void hideBackScreen();
    int getPresetsInColumns() const { return 32; }
    // What the last hover step found under the mouse ("None" when nothing).
    const std::string& getHoverName() const { return hoverName; }
    const std::string& getHoverValue() const { return hoverValue; }

protected:
    // The work of one 50 ms step of idle(), and its parts.
    void idleStep();
    VSTGUI::CView* findHoverTarget(VSTGUI::CPoint& where) const;
    void idleMainScreen(const bool fx[4]);
    void idleEasyScreen(const bool fx[4]);
    void idleScopes();
    void idleLayers(bool easy);
    void idleLock(bool easy);
    void idleHover(VSTGUI::CView* target, const VSTGUI::CPoint& where);
    bool hoverRow(VSTGUI::CView* target, const VSTGUI::CPoint& where, std::string& name, std::string& value);
    // Command controls recognised by identity; false when the control is none of them.
    bool commandChanged(VSTGUI::CControl* control);
    bool backPageChanged(VSTGUI::CControl* control);
    bool selectRadio(int group, int index);
    // One program step (arrow keys, the preset menu's arrows and wheel), at most every 300 ms.
    void programStep(int delta);
    // Moves the plug-in's current program by delta; the plug-in's refresh request follows.
    virtual void stepPluginProgram(int delta);
    // The manual, opened by the desktop's viewer without a shell; children are reaped at idle.
    void openHelp();
    void reapHelpers();
    void showBackReadouts();

    std::string hoverName = "None", hoverValue, lastTooltip;
    VSTGUI::CView* lastTooltipView = nullptr;
    int filterModeCache[3] = {-1, -1, -1};
    int arpStepCountCache = -1;
    std::vector<int> helperPids;
    // Captions the idle step dims with their section (set by the page builders).
    TLabel* fxKnobLabels[13] = {};    // delay knobs 113..119, reverb knobs 120..125
    TLabel* fxSwitchLabels[8] = {};   // the captions of fxOnOffs (null where none)
    TLabel* velSplitOnLabel = nullptr;
    TLabel* chordNumberLabels[4] = {};
    TLabel* easyChordNumberLabels[4] = {};
};

// The eight editor fonts shared by all editor code.
extern VSTGUI::CFontDesc* gVerdanaSmall;
extern VSTGUI::CFontDesc* gVerdanaLarge;
extern VSTGUI::CFontDesc* gNormalFontVerySmaller;
extern VSTGUI::CFontDesc* gNormalFontVerySmallerBig;
extern VSTGUI::CFontDesc* gNormalFontManagerSmall;
extern VSTGUI::CFontDesc* gNormalFontManagerBig;
extern VSTGUI::CFontDesc* gNormalFontManagerVeryBigger;
extern VSTGUI::CFontDesc* gNormalFontManagerVeryBiggest;
