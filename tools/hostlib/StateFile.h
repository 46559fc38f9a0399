// A plug-in's saved state in the host's own small file format:
//   "TVST", uint32 version (1), uint32 kind (1 chunk, 2 parameters), int32 plug-in unique
//   ID, uint32 count (chunk bytes or number of parameters), then the data (chunk bytes,
//   or little-endian float32 values). All integers little-endian.
// Loading is all or nothing: the whole file is checked before anything is applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostlib/VstPluginLoader.h"

namespace tavhost {

enum class StateKind : uint32_t { Chunk = 1, Parameters = 2 };

struct PluginState {
    StateKind kind = StateKind::Parameters;
    int32_t uniqueID = 0;
    std::vector<uint8_t> chunk;   // kind Chunk
    std::vector<float> params;    // kind Parameters
};

constexpr uint32_t kStateFileVersion = 1;
constexpr size_t kStateHeaderBytes = 20;
constexpr size_t kMaxStateFileBytes = 256u * 1024u * 1024u;

std::vector<uint8_t> encodeState(const PluginState& state);
bool decodeState(const uint8_t* data, size_t size, PluginState& out, std::string& error);

bool saveStateFile(const std::string& path, const PluginState& state, std::string& error);
bool loadStateFile(const std::string& path, PluginState& out, std::string& error);

// Takes the plug-in's state: its bank chunk when it has effFlagsProgramChunks and gives
// one, else every parameter value. `note` tells when a chunk plug-in gave none.
bool capturePluginState(VstPlugin& plugin, PluginState& out, std::string& note, std::string& error);

// Applies a state to the plug-in (effSetChunk, or setParameter for each value). Refuses a
// state of another plug-in, a chunk for a plug-in that does not take chunks, and a
// parameter list of the wrong length, before touching the plug-in.
bool applyPluginState(VstPlugin& plugin, const PluginState& state, std::string& error);

}  // namespace tavhost
