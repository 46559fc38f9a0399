// Filter states held in vector lanes from one sample to the next by a group of voices that
// runs together (a holder), rather than gathered from and scattered to each voice's filter
// every sample. A filter whose states a holder keeps points to it; whatever would touch
// the filter otherwise (its reset(), init(), process(), or a run in another grouping)
// first has the holder write every state it keeps back into its filters and let them go.
#pragma once

class LaneHolder {
public:
    // Every group's states written back into its filters, which then hold them again.
    virtual void release() = 0;

protected:
    ~LaneHolder() = default;
};
