#include "hostlib/VstPluginLoader.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include "hostlib/TextUtil.h"

namespace tavhost {

namespace {

// Chunks bigger than this are treated as garbage rather than copied.
constexpr intptr_t kMaxChunkSize = 256 * 1024 * 1024;

// A symbol found through the handle must live in the plug-in itself: "main" in
// particular must never resolve to some other object's main.
bool symbolBelongsTo(void* handle, void* symbol) {
    struct link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return false;
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || !info.dli_fname) return false;
    return map->l_name && std::strcmp(map->l_name, info.dli_fname) == 0;
}

}  // namespace

std::shared_ptr<VstModule> VstModule::open(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no plug-in path given";
        return nullptr;
    }
    // dlopen searches the library path for a bare name; a plug-in is always a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = "cannot load '" + path + "': " + (why ? why : "unknown error");
        return nullptr;
    }
    std::shared_ptr<VstModule> module(new VstModule());
    module->path_ = path;
    module->handle_ = handle;
    for (const char* name : {"VSTPluginMain", "main"}) {
        dlerror();
        void* sym = dlsym(handle, name);
        if (sym && symbolBelongsTo(handle, sym)) {
            module->entry_ = reinterpret_cast<VstEntryProc>(sym);
            module->entryName_ = name;
            break;
        }
    }
    if (!module->entry_) {
        error = "'" + path + "' is not a VST 2.4 plug-in: it exports neither VSTPluginMain nor main";
        return nullptr;
    }
    return module;
}

std::shared_ptr<VstModule> VstModule::fromEntry(VstEntryProc entry, const std::string& label) {
    std::shared_ptr<VstModule> module(new VstModule());
    module->path_ = label;
    module->entry_ = entry;
    module->entryName_ = "VSTPluginMain";
    return module;
}

VstModule::~VstModule() {
    if (handle_) dlclose(handle_);
}

std::unique_ptr<VstPlugin> VstPlugin::create(std::shared_ptr<VstModule> module,
                                             const HostIdentity& identity, std::string& error) {
    if (!module || !module->entry()) {
        error = "no plug-in module";
        return nullptr;
    }
    std::unique_ptr<VstPlugin> plugin(new VstPlugin());
    plugin->module_ = module;
    plugin->host_.reset(new HostContext(identity));
    AEffect* effect = nullptr;
    {
        PendingHostGuard guard(plugin->host_.get());
        effect = module->entry()(hostCallback);
    }
    if (!effect) {
        error = "'" + module->path() + "': " + module->entryName() + " returned no effect";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        // Nothing in a record without the magic can be trusted, not even its dispatcher:
        // the instance is abandoned rather than closed.
        error = "'" + module->path() + "': bad magic " + fourCCText(effect->magic) +
                " (expected VstP)";
        plugin->closed_ = true;
        return nullptr;
    }
    if (!effect->dispatcher) {
        error = "'" + module->path() + "': the effect has no dispatcher";
        plugin->closed_ = true;
        return nullptr;
    }
    plugin->effect_ = effect;
    registerEffect(effect, plugin->host_.get());
    return plugin;
}

std::unique_ptr<VstPlugin> VstPlugin::load(const std::string& path, const HostIdentity& identity,
                                           std::string& error) {
    std::shared_ptr<VstModule> module = VstModule::open(path, error);
    if (!module) return nullptr;
    return create(module, identity, error);
}

VstPlugin::~VstPlugin() { close(); }

intptr_t VstPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!effect_ || closed_) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void VstPlugin::setParameter(int32_t index, float value) {
    if (effect_ && !closed_ && effect_->setParameter) effect_->setParameter(effect_, index, value);
}

float VstPlugin::getParameter(int32_t index) {
    if (effect_ && !closed_ && effect_->getParameter) return effect_->getParameter(effect_, index);
    return 0.0f;
}

void VstPlugin::processReplacing(float** inputs, float** outputs, int32_t frames) {
    if (effect_ && !closed_ && effect_->processReplacing)
        effect_->processReplacing(effect_, inputs, outputs, frames);
}

void VstPlugin::open() {
    if (opened_ || closed_ || !effect_) return;
    dispatch(effOpen);
    opened_ = true;
}

void VstPlugin::close() {
    if (closed_ || !effect_) {
        closed_ = true;
        return;
    }
    if (resumed_) suspend();
    dispatch(effClose);
    closed_ = true;
    // The plug-in may still call back while closing, so it is forgotten only afterwards.
    unregisterEffect(effect_);
}

void VstPlugin::setSampleRate(double rate) {
    host_->setSampleRate(rate);
    dispatch(effSetSampleRate, 0, 0, nullptr, (float)rate);
}

void VstPlugin::setBlockSize(int32_t frames) {
    host_->setBlockSize(frames);
    dispatch(effSetBlockSize, 0, frames);
}

void VstPlugin::resume() {
    if (resumed_) return;
    dispatch(effMainsChanged, 0, 1);
    resumed_ = true;
}

void VstPlugin::suspend() {
    if (!resumed_) return;
    dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

std::string VstPlugin::dispatchString(int32_t opcode, int32_t index, size_t maxLen) {
    char buf[256];
    std::memset(buf, 0, sizeof(buf));
    dispatch(opcode, index, 0, buf);
    return boundedString(buf, maxLen < sizeof(buf) ? maxLen : sizeof(buf) - 1);
}

intptr_t VstPlugin::canDo(const std::string& capability) {
    std::vector<char> text(capability.begin(), capability.end());
    text.push_back(0);
    return dispatch(effCanDo, 0, 0, text.data());
}

std::vector<uint8_t> VstPlugin::getChunk(bool preset) {
    void* data = nullptr;
    intptr_t size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (size <= 0 || size > kMaxChunkSize || !data) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

intptr_t VstPlugin::setChunk(const void* data, size_t size, bool preset) {
    return dispatch(effSetChunk, preset ? 1 : 0, (intptr_t)size, const_cast<void*>(data));
}

std::vector<float> VstPlugin::getAllParameters() {
    std::vector<float> values;
    if (!effect_ || closed_ || effect_->numParams <= 0) return values;
    values.reserve((size_t)effect_->numParams);
    for (int32_t i = 0; i < effect_->numParams; ++i) values.push_back(getParameter(i));
    return values;
}

}  // namespace tavhost
