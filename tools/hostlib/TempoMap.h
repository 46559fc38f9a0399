// Musical time (quarter notes) against seconds for a piece whose tempo changes.
#pragma once

#include <cstddef>
#include <vector>

namespace tavhost {

class TempoMap {
public:
    explicit TempoMap(double bpm = 120.0);

    // A tempo that holds from `ppq` on. Changes must come in non-decreasing ppq order; a
    // change at the same position as the previous one replaces it. Non-positive or
    // non-finite tempos and out-of-order positions are ignored.
    void addChange(double ppq, double bpm);

    double secondsAtPpq(double ppq) const;
    double ppqAtSeconds(double seconds) const;
    double bpmAtSeconds(double seconds) const;
    double bpmAtPpq(double ppq) const;
    size_t size() const { return segments_.size(); }

private:
    struct Segment {
        double ppq;
        double seconds;
        double bpm;
    };
    const Segment& segmentAtPpq(double ppq) const;
    const Segment& segmentAtSeconds(double seconds) const;
    std::vector<Segment> segments_;
};

}  // namespace tavhost
