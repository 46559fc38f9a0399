#include "hostlib/TempoMap.h"

#include <cmath>

namespace tavhost {

namespace {
bool validBpm(double bpm) { return std::isfinite(bpm) && bpm > 0.0; }
}  // namespace

TempoMap::TempoMap(double bpm) { segments_.push_back({0.0, 0.0, validBpm(bpm) ? bpm : 120.0}); }

void TempoMap::addChange(double ppq, double bpm) {
    if (!validBpm(bpm) || !std::isfinite(ppq) || ppq < 0.0) return;
    Segment& last = segments_.back();
    if (ppq < last.ppq) return;
    if (ppq == last.ppq) {
        last.bpm = bpm;
        return;
    }
    double seconds = last.seconds + (ppq - last.ppq) * 60.0 / last.bpm;
    segments_.push_back({ppq, seconds, bpm});
}

const TempoMap::Segment& TempoMap::segmentAtPpq(double ppq) const {
    size_t lo = 0, hi = segments_.size();
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (segments_[mid].ppq <= ppq) lo = mid;
        else hi = mid;
    }
    return segments_[lo];
}

const TempoMap::Segment& TempoMap::segmentAtSeconds(double seconds) const {
    size_t lo = 0, hi = segments_.size();
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (segments_[mid].seconds <= seconds) lo = mid;
        else hi = mid;
    }
    return segments_[lo];
}

double TempoMap::secondsAtPpq(double ppq) const {
    const Segment& s = segmentAtPpq(ppq);
    return s.seconds + (ppq - s.ppq) * 60.0 / s.bpm;
}

double TempoMap::ppqAtSeconds(double seconds) const {
    const Segment& s = segmentAtSeconds(seconds);
    return s.ppq + (seconds - s.seconds) * s.bpm / 60.0;
}

double TempoMap::bpmAtSeconds(double seconds) const { return segmentAtSeconds(seconds).bpm; }

double TempoMap::bpmAtPpq(double ppq) const { return segmentAtPpq(ppq).bpm; }

}  // namespace tavhost
