#include "gui/CBaseObject.h"

namespace VSTGUI {

std::atomic<int64_t> CBaseObject::live{0};

CBaseObject::CBaseObject() { ++live; }

CBaseObject::CBaseObject(const CBaseObject&) : nbReference(1) { ++live; }

CBaseObject::~CBaseObject() { --live; }

void CBaseObject::forget() {
    if (nbReference > 1) {
        --nbReference;
        return;
    }
    if (!mayDestroy()) return; // the object keeps its last reference
    nbReference = 0;
    delete this;
}

int64_t CBaseObject::liveObjects() { return live.load(); }

} // namespace VSTGUI
