#include "hostlib/StateFile.h"

#include <cstring>

#include "hostlib/FileUtil.h"
#include "hostlib/TextUtil.h"

namespace tavhost {

namespace {

void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((uint8_t)(v >> (8 * i)));
}
uint32_t get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

}  // namespace

std::vector<uint8_t> encodeState(const PluginState& state) {
    std::vector<uint8_t> b;
    b.reserve(kStateHeaderBytes + state.chunk.size() + 4 * state.params.size());
    for (char c : {'T', 'V', 'S', 'T'}) b.push_back((uint8_t)c);
    put32(b, kStateFileVersion);
    put32(b, (uint32_t)state.kind);
    put32(b, (uint32_t)state.uniqueID);
    if (state.kind == StateKind::Chunk) {
        put32(b, (uint32_t)state.chunk.size());
        b.insert(b.end(), state.chunk.begin(), state.chunk.end());
    } else {
        put32(b, (uint32_t)state.params.size());
        for (float v : state.params) {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            put32(b, bits);
        }
    }
    return b;
}

bool decodeState(const uint8_t* data, size_t size, PluginState& out, std::string& error) {
    if (!data || size < kStateHeaderBytes) {
        error = "not a state file: " + std::to_string(size) + " bytes is shorter than the header";
        return false;
    }
    if (std::memcmp(data, "TVST", 4) != 0) {
        error = "not a state file (no TVST magic)";
        return false;
    }
    uint32_t version = get32(data + 4);
    if (version != kStateFileVersion) {
        error = "state file version " + std::to_string(version) + " is not supported";
        return false;
    }
    uint32_t kind = get32(data + 8);
    if (kind != (uint32_t)StateKind::Chunk && kind != (uint32_t)StateKind::Parameters) {
        error = "state file of unknown kind " + std::to_string(kind);
        return false;
    }
    uint64_t count = get32(data + 16);
    uint64_t dataBytes = kind == (uint32_t)StateKind::Chunk ? count : count * 4;
    uint64_t have = size - kStateHeaderBytes;
    if (have < dataBytes) {
        error = "truncated state file: " + std::to_string(dataBytes) + " data bytes expected, " +
                std::to_string(have) + " present";
        return false;
    }
    if (have > dataBytes) {
        error = "state file has " + std::to_string(have - dataBytes) + " unexpected trailing bytes";
        return false;
    }
    PluginState state;
    state.kind = (StateKind)kind;
    state.uniqueID = (int32_t)get32(data + 12);
    const uint8_t* body = data + kStateHeaderBytes;
    if (state.kind == StateKind::Chunk) {
        state.chunk.assign(body, body + count);
    } else {
        state.params.resize((size_t)count);
        for (size_t i = 0; i < (size_t)count; ++i) {
            uint32_t bits = get32(body + 4 * i);
            std::memcpy(&state.params[i], &bits, 4);
        }
    }
    out = std::move(state);
    return true;
}

bool saveStateFile(const std::string& path, const PluginState& state, std::string& error) {
    std::vector<uint8_t> bytes = encodeState(state);
    return writeFileAtomically(path, bytes.data(), bytes.size(), error);
}

bool loadStateFile(const std::string& path, PluginState& out, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, kMaxStateFileBytes, bytes, error)) return false;
    if (!decodeState(bytes.data(), bytes.size(), out, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

bool capturePluginState(VstPlugin& plugin, PluginState& out, std::string& note, std::string& error) {
    if (plugin.isClosed()) {
        error = "the plug-in instance is closed";
        return false;
    }
    PluginState state;
    state.uniqueID = plugin.effect()->uniqueID;
    if (plugin.hasFlag(effFlagsProgramChunks)) {
        state.chunk = plugin.getChunk(false);
        if (!state.chunk.empty()) {
            state.kind = StateKind::Chunk;
            out = std::move(state);
            return true;
        }
        note = "the plug-in has effFlagsProgramChunks but gave no chunk; parameters saved instead";
    }
    state.kind = StateKind::Parameters;
    state.params = plugin.getAllParameters();
    out = std::move(state);
    return true;
}

bool applyPluginState(VstPlugin& plugin, const PluginState& state, std::string& error) {
    if (plugin.isClosed()) {
        error = "the plug-in instance is closed";
        return false;
    }
    int32_t id = plugin.effect()->uniqueID;
    if (state.uniqueID != id) {
        error = "the state belongs to plug-in '" + fourCCText(state.uniqueID) + "' (" +
                std::to_string(state.uniqueID) + "), not '" + fourCCText(id) + "' (" +
                std::to_string(id) + ")";
        return false;
    }
    if (state.kind == StateKind::Chunk) {
        if (!plugin.hasFlag(effFlagsProgramChunks)) {
            error = "the state is a chunk, but the plug-in does not take chunks from host '" +
                    plugin.host().identity().product + "'";
            return false;
        }
        if (state.chunk.empty()) {
            error = "the state holds an empty chunk";
            return false;
        }
        // The plug-in gets its own copy (the pointer is not const in the interface), with a
        // NUL after the end it is not told about: plug-ins with text chunks are known to
        // run strlen over them.
        std::vector<uint8_t> copy(state.chunk);
        copy.push_back(0);
        plugin.setChunk(copy.data(), state.chunk.size(), false);
        return true;
    }
    if ((int64_t)state.params.size() != plugin.numParams()) {
        error = "the state holds " + std::to_string(state.params.size()) +
                " parameters, the plug-in has " + std::to_string(plugin.numParams());
        return false;
    }
    for (size_t i = 0; i < state.params.size(); ++i) plugin.setParameter((int32_t)i, state.params[i]);
    return true;
}

}  // namespace tavhost
