// The editor object's life: construction, open, resume, idle's hand-over of work recorded by
// other threads, close, and the editor's shared fonts.
#include "editor/uEditor.h"

#include <cmath>
#include <cstring>

#include "controls/TControlLook.h"
#include "controls/TOptionMenu.h"
#include "platform/dialogs.h"
#include "platform/prefs.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

using namespace VSTGUI;

TEditorLink* createPluginEditor(APlugin* plugin) { return new uEditor(plugin); }

// The eight shared fonts live for the whole process, as the GUI layer's standard fonts do
// ("Verdanaial" is the bold face's family name; the font layer maps both families to an
// installed face).
namespace {
CFontDesc verdanaSmall("Verdana", 10);
CFontDesc verdanaLarge("Verdana", 14);
CFontDesc verySmaller("Verdana", 9);
CFontDesc verySmallerBig("Verdanaial", 12);
CFontDesc managerSmall("Verdana", 10);
CFontDesc managerBig("Verdanaial", 13);
CFontDesc managerVeryBigger("Verdanaial", 18);
CFontDesc managerVeryBiggest("Verdanaial", 22);
} // namespace
CFontDesc* gVerdanaSmall = &verdanaSmall;
CFontDesc* gVerdanaLarge = &verdanaLarge;
CFontDesc* gNormalFontVerySmaller = &verySmaller;
CFontDesc* gNormalFontVerySmallerBig = &verySmallerBig;
CFontDesc* gNormalFontManagerSmall = &managerSmall;
CFontDesc* gNormalFontManagerBig = &managerBig;
CFontDesc* gNormalFontManagerVeryBigger = &managerVeryBigger;
CFontDesc* gNormalFontManagerVeryBiggest = &managerVeryBiggest;

namespace {

// Per distortion model, the values of tags 104, 105 and 106 it starts with.
const float DISTORT_DEFAULTS[26][3] = {
    {1.0f, 1.1f / 5.99f, 0.0f}, {1.0f, 0.0f, 0.5f}, {1.0f, 0.0f, 1.0f}, {1.0f, 0.5f, 0.0f},
    {1.0f, 1.1f / 3.99f, 0.0f}, {1.0f, 0.0f, 0.5f}, {1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f},
    {1.0f, 0.5f, 0.5f},         {1.0f, 0.0f, 0.5f}, {1.0f, 0.0f, 0.5f}, {1.0f, 0.0f, 0.5f},
    {1.0f, 0.0f, 0.5f},         {1.0f, 0.0f, 0.5f}, {1.0f, 1.0f, 0.5f}, {1.0f, 0.0f, 1.0f},
    {1.0f, 0.0f, 0.0f},         {1.0f, 0.0f, 0.5f}, {1.0f, 0.0f, 0.5f}, {1.0f, 0.0f, 0.5f},
    {1.0f, 0.0f, 1.0f},         {1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.5f}, {1.0f, 0.0f, 0.5f},
    {1.0f, 0.0f, 0.5f},         {1.0f, 0.0f, 0.5f},
};

// Per Mod FX mode, the values of tags 107..112 and 350 (tempo sync) it starts with.
const float MODFX_DEFAULTS[11][7] = {
    {0.166f, 0.42f, 0.481f, 0.44f, 0.36f, 1.0f, 0.0f},          // Chorus
    {0.53f, 0.43f, 0.15f, 1.0f, 0.81f, 0.6f, 1.0f},             // Flanger
    {0.43f, 0.49f, 0.49f, 0.36f, 0.34f, 0.34f, 0.0f},           // Ensemble
    {0.5f, 0.5f, 0.53f, 0.57f, 0.57f, 0.44f, 1.0f},             // Phaser
    {1.0f, 0.5f, 0.0f, 0.25f, 0.75f, 0.0f, 1.0f},               // Wah-Wah
    {1.0f, 0.65f, 0.5f, 0.05f, 0.95f, 0.0f, 1.0f},              // TalkBox
    {1.0f, 0.5f, 0.0f, 1.0f, 0.5f, 0.0f, 1.0f},                 // Tremolo
    {1.0f, 0.5f, 0.0f, 0.5f, 0.5f, 0.0f, 0.0f},                 // Vibrato
    {1.0f, 0.5f, 0.0f, 0.5f, 0.5f, 0.0f, 1.0f},                 // AutoPan
    {1.0f, 0.5f, 0.5f, 1.0f, 0.0f, 1.0f, 1.0f},                 // Ring
    {1.0f, 0.5f, 0.66f, 1.0f, 0.880210996f, 0.114586003f, 0.0f} // Gator
};


} // namespace

uEditor::uEditor(APlugin* plugin) : AEffGUIEditor(plugin), plugin(plugin) {
    if (plugin) {
        plugin->setEditor(this);
        plugin->editorLink = this;
    }
    screenMode = getRegValue("AdvancedDisplay", false) ? kPageMain : kPageEasy;
    lastEditChanged = plugin && plugin->getEditChanged() ? 0 : 1;

    std::memset(droppable, 1, sizeof(droppable));
    clearRegistry();
    for (auto& p : pendingTags) p.store(0, std::memory_order_relaxed);
    for (auto& b : bitmaps) b = BitmapSlot{0, nullptr};
    initSections();

    prefKeyboard = getRegValue("Keyboard", true);
    prefDragAndDrop = getRegValue("DragAndDrop", true);
    prefToolTip = getRegValue("ToolTip", true);
    prefAnimation = getRegValue("Animation", true);
    prefDisplayGaterPos = getRegValue("DisplayGaterPos", true);
    prefOutputDisplay = getRegValue("OutputDisplay", true);
    prefOutputDisplaySpeed = getRegValue("OutputDisplaySpeed", false);

    std::memcpy(distortDefaults, DISTORT_DEFAULTS, sizeof(distortDefaults));
    std::memcpy(distortMemory, DISTORT_DEFAULTS, sizeof(distortMemory));
    std::memcpy(modFXDefaults, MODFX_DEFAULTS, sizeof(modFXDefaults));
    std::memcpy(modFXMemory, MODFX_DEFAULTS, sizeof(modFXMemory));

    lastIdleTick = lastProgramStepTick = getTicks();
    hoverStep = 0;

    // The last size preference that is on wins; a new size applies from the next creation.
    screenSizeIndex = 0;
    for (int i = 1; i < 4; ++i)
        if (getRegValue(REG_SCREEN_SIZE[i], false)) screenSizeIndex = i;
    scale = static_cast<float>(tlook::SCALE[screenSizeIndex]);
    rect.top = rect.left = 0;
    rect.right = static_cast<int16_t>(getScaled(kWidth100));
    rect.bottom = static_cast<int16_t>(getScaled(kHeight100));
}

uEditor::~uEditor() {
    // The host closes the window before it deletes the plug-in; one left open is taken down
    // in the same order as close().
    if (frame) close();
}

bool uEditor::open(void* ptr) {
    if (!plugin) return false;
    // Some hosts open again without a close, to move the editor to another parent window:
    // the old frame and everything on it go first. Only the thread that holds the window may
    // take it down; an open from elsewhere is refused rather than built over it.
    if (frame) close();
    if (frame) return false;
    finishedOpening = 0;
    // The core forwards values only while it reads (opening 0, open 1): every step on the
    // way there reads as closed.
    plugin->editorOpening = 1;
    plugin->editorOpen = 0;
    plugin->publishEditorState();
    resuming = switchingScreen = 0;
    busyModFX = busyLayer = busyLFO = busyChord = busyMod = busyArpPreset = 0;
    dirtyModFX = dirtyLFO = dirtyChord = layersRebuilt = 0;
    controlBeingEdited = nullptr;
    // Work recorded while the window was closed concerns views that no longer exist.
    for (auto& p : pendingTags) p.store(0, std::memory_order_relaxed);
    pendingIdleVars.store(false);
    pendingDistort.store(false);
    pendingModFX.store(false);
    pendingAny.store(false);
    // A clear of the undo stacks asked for before the last close is still due.
    if (pendingClearUndos.exchange(false)) doClearUndos();

    AEffGUIEditor::open(ptr);
    createBitmaps();
    lastIdleTick = lastProgramStepTick = getTicks();
    lastEditChanged = plugin->getEditChanged() ? 0 : 1;

    CBitmap* background = getEditorBitmap(10000);
    const CCoord w = background ? background->getWidth() : getScaled(kWidth100);
    const CCoord h = background ? background->getHeight() : getScaled(kHeight100);
    frame = new CFrame(CRect(0, 0, w, h), this);
    // Without a parent window (or a display) the editor still opens, off-screen.
    if (!ptr || !frame->open(ptr, PlatformType::kDefaultNative)) frame->open(nullptr, PlatformType::kOffscreen);
    claimDialogs();
    frame->setBackground(background);
    frame->registerKeyboardHook(this);
    CFrame::kDefaultKnobMode = kLinearMode;

    createContainers();
    controlCount = 0;
    buildingPage = kPageMain;
    createMainScreenControls();
    buildingPage = kPageEasy;
    createEasyScreenControls();
    buildingPage = kPageBack;
    createBackScreen();
    dropTag = -1;
    dialReleased = 0;
    dropTagValue = 0;

    if (screenMode == kPageMain) showMainScreen();
    else showEasyScreen();

    finishedOpening = 1;
    plugin->editorOpen = 1;
    plugin->editorOpening = 0;
    // From here other threads may record work for this window.
    plugin->publishEditorState();
    resuming = 0;
    updatePresetMenu();
    updateFolderMenu();
    resume();
    return true;
}

void uEditor::close() {
    if (!plugin) return;
    finishedOpening = 0;
    plugin->editorOpen = 0;
    plugin->editorOpening = 0;
    // Closed for every other thread before anything is taken down.
    plugin->publishEditorState();
    if (!frame) {
        AEffEditor::close();
        return;
    }
    if (!checkUIThread("uEditor::close")) return;
    frame->unregisterKeyboardHook(this);
    // The frame and the containers give their references back; the editor's own references
    // are then the last ones, so each view goes exactly once.
    frame->removeAll(true);
    removeContainers();
    removeControls();
    removeBitmaps();
    AEffGUIEditor::close();
    clearRegistry();
    controlBeingEdited = nullptr;
    lastTooltipView = nullptr;
    lastTooltip.clear();
    reapHelpers();
}

void uEditor::attach(CViewContainer* parent, CView* view) {
    if (!parent || !view) return;
    view->remember();
    if (!parent->addView(view)) view->forget();
}

void uEditor::createContainers() {
    struct Place {
        int x, y, c125, c150, c200, bitmap, heightFrom;
    };
    // Layer i's four containers, then the shared sections; heights come from the bitmap, the
    // easy layer's right container takes the left one's height.
    for (int layer = 0; layer < 3; ++layer) {
        const Place places[4] = {{233, 92 + 89 * layer, 0, 0, 0, 10020, 0},
                                 {28, 113 + 89 * layer, 0, 0, 0, 10024, 0},
                                 {27, 115 + 119 * layer, 0, 0, 0, 10030, 0},
                                 {283, 95 + 118 * layer, 0, 0, 0, 10034, 10030}};
        for (int k = 0; k < 4; ++k) {
            const Place& p = places[k];
            CBitmap* b = getEditorBitmap(p.bitmap);
            if (!b) continue;
            CBitmap* hb = p.heightFrom ? getEditorBitmap(p.heightFrom) : b;
            const int x = getScaled(p.x), y = getScaled(p.y);
            auto* c = new CViewContainer(CRect(x, y, x + b->getWidth(), y + (hb ? hb->getHeight() : b->getHeight())));
            c->setBackground(b);
            containers[layer * 4 + k] = c;
        }
    }
    const Place shared[6] = {{168, 381, -1, 0, -2, 10040, 0}, {30, 468, 0, 0, 0, 10041, 0},
                             {30, 608, 0, 0, 0, 10043, 0},    {500, 644, -3, -1, -2, 10042, 0},
                             {220, 469, 0, 0, 0, 10040, 0},   {679, 649, 0, 0, 0, 10045, 0}};
    for (int k = 0; k < 6; ++k) {
        const Place& p = shared[k];
        CBitmap* b = getEditorBitmap(p.bitmap);
        if (!b) continue;
        const int x = getScaled(p.x, p.c125, p.c150, p.c200), y = getScaled(p.y);
        auto* c = new CViewContainer(CRect(x, y, x + b->getWidth(), y + b->getHeight()));
        c->setBackground(b);
        containers[kModFXView + k] = c;
    }
}

void uEditor::removeContainers() {
    for (auto*& c : containers) {
        if (!c) continue;
        c->removeAll(true);
        c->forget();
        c = nullptr;
    }
}

// ---- work recorded by other threads ---------------------------------------------------------

bool uEditor::hasPendingWork() const { return pendingAny.load(std::memory_order_acquire); }

void uEditor::drainPending() {
    if (!pendingAny.exchange(false, std::memory_order_acq_rel)) return;
    if (pendingClearUndos.exchange(false)) doClearUndos();
    // Program values first, then the per-mode memories: a newly applied program's effect
    // values must not be overwritten by stale memories.
    for (int w = 0; w < kNumTags / 64; ++w) {
        uint64_t bits = pendingTags[w].exchange(0, std::memory_order_acq_rel);
        while (bits) {
            const int b = __builtin_ctzll(bits);
            bits &= bits - 1;
            applyParameter(w * 64 + b);
        }
    }
    if (pendingIdleVars.exchange(false)) applyIdleVars();
}

void uEditor::setParameter(VstInt32 tag, float) {
    if (!isValidTag(tag)) return;
    if (!isUIThread()) {
        pendingTags[tag / 64].fetch_or(uint64_t(1) << (tag % 64), std::memory_order_acq_rel);
        pendingAny.store(true, std::memory_order_release);
        return;
    }
    applyParameter(tag);
}

// Off the UI thread work is only recorded (its flag, then the hint that something waits);
// answers whether it was.
bool uEditor::deferOffUIThread(std::atomic<bool>& flag) {
    if (isUIThread()) return false;
    flag.store(true);
    pendingAny.store(true, std::memory_order_release);
    return true;
}

void uEditor::updateIdleVars() {
    if (!deferOffUIThread(pendingIdleVars)) applyIdleVars();
}

void uEditor::clearUndos() {
    if (!deferOffUIThread(pendingClearUndos)) doClearUndos();
}

void uEditor::applyIdleVars() {
    if (!plugin) return;
    distortMode = plugin->getSteppedValue(347);
    modFXMode = plugin->getSteppedValue(349);
}

void uEditor::updateLayer() { dirtyLayer = 1; }

void uEditor::setEditTag(int tag) {
    editTag = isValidTag(tag) ? tag : -1;
    if (!isValidTag(tag)) {
        controlBeingEdited = nullptr;
        return;
    }
    for (int i = 0; i < controlCount; ++i)
        if (controls[i] && controls[i]->getTag() == tag) {
            controlBeingEdited = controls[i];
            return;
        }
}

// ---- preferences and size ------------------------------------------------------------------

bool uEditor::getRegValue(const std::string& key, bool deflt) {
    std::string v;
    loadStringFromPrefs(key, v, 128);
    if (v.size() != 1) return deflt;
    return deflt ? v[0] != 'N' : v[0] == 'Y';
}

void uEditor::setRegValue(const std::string& key, bool on) { saveStringToPrefs(key, on ? "Y" : "N"); }

void uEditor::setScreenSize(int index) {
    if (index < 0 || index > 3) return;
    for (const char* key : REG_SCREEN_SIZE) saveBoolToPrefs(key, false);
    saveBoolToPrefs(REG_SCREEN_SIZE[index], true);
    static const char* const percent[4] = {"100%", "125%", "150%", "200%"};
    messageBox(std::string("When you next open Tavrolune, it'll open in ") + percent[index] + " Screen Mode", 0);
}

int uEditor::getScaled(int v, int c125, int c150, int c200) const { return TControlEditor::getScaled(v, c125, c150, c200); }

int uEditor::getScaledF(float v, int c125, int c150, int c200) const {
    const int s = screenSizeIndex;
    if (s < 1 || s > 3) return static_cast<int>(v);
    const int corr[4] = {0, c125, c150, c200};
    return static_cast<int>(v * tlook::SCALE[s]) + corr[s];
}

int uEditor::getScaledBitmap(int id) const {
    return screenSizeIndex >= 0 && screenSizeIndex <= 3 ? id + 1000 * screenSizeIndex : id;
}

// ---- bitmaps -----------------------------------------------------------------------------

void uEditor::createBitmaps() {
    // The ids views draw: page backgrounds, section containers per source type, then the
    // strips of the controls.
    static const int IDS[kNumBitmaps] = {10000, 10001, 10002, 10024, 10025, 10026, 10027, 10020, 10021, 10022,
                                         10023, 10030, 10031, 10032, 10033, 10034, 10035, 10036, 10367, 10040,
                                         10041, 10042, 10045, 10043, 10044, 10060, 10062, 10064, 10065, 10066,
                                         10067, 10050, 10051, 10052, 10053, 10054, 10055, 10056, 10057};
    for (int i = 0; i < kNumBitmaps; ++i) {
        bitmaps[i].id = IDS[i];
        auto* b = new CBitmap(CResourceDescription(getScaledBitmap(IDS[i])));
        // A missing picture leaves its slot empty: whatever needs it is not created.
        if (!b->isLoaded()) {
            b->forget();
            b = nullptr;
        }
        bitmaps[i].bitmap = b;
    }
}

void uEditor::removeBitmaps() {
    for (auto& slot : bitmaps)
        if (slot.bitmap) {
            slot.bitmap->forget();
            slot.bitmap = nullptr;
        }
}

int uEditor::getLoadedBitmapCount() const {
    int n = 0;
    for (const auto& slot : bitmaps) n += slot.bitmap != nullptr;
    return n;
}

CBitmap* uEditor::getEditorBitmap(int id) const {
    for (const auto& slot : bitmaps)
        if (slot.id == id) return slot.bitmap;
    return nullptr;
}

void uEditor::removeControls() {
    // Newest first, so a label goes before the control it names.
    for (auto it = releasers.rbegin(); it != releasers.rend(); ++it) (*it)();
    releasers.clear();
    modScreen = nullptr;
    ribbonSlider = nullptr;
}

void uEditor::clearRegistry() {
    controlCount = 0;
    std::memset(controls, 0, sizeof(controls));
    std::memset(controlKind, 0, sizeof(controlKind));
    std::memset(controlPage, 0, sizeof(controlPage));
    for (int& i : tagControlIndex) i = -1;
    for (int& i : tagLastModTick) i = -1;
}
