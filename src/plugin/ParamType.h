// The display types of the parameter records: how each parameter's value is shown.
#pragma once

#include <cstdint>

// How a parameter's value is shown.
enum ParamType : int32_t {
    kTypeByTag = 0,
    kTypeOnOff = 1,
    kTypePercent = 2,
    kTypePolar = 3,
    kTypeDB60 = 4,
    kTypeMidi127 = 5,
    kTypeVelSplit = 6,
    kTypeDB80 = 7,
    kTypePan = 8,
    kTypeMix = 9,
    kTypeSemi48 = 10,
    kTypeCents = 11,
    kTypeFilterFreq = 12,
    kTypeEnvTime = 13,
    kTypeLFOSpeed = 14,
    kTypeModSource = 15,
    kTypeModDest = 16,
    kTypeModAmount = 17,
    kTypeSemi36 = 18,
    kTypeArpChord = 19,
    kTypeArpRatchet = 20,
    kTypeIntPercent = 21,
    kTypeInternal = 22,
};
