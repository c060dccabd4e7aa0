// Reads the control tags of a timeline, the root's or a sprite's: placements and
// removals, frame labels and the actions frames, placed clips and init tags carry.
#pragma once

#include "controls/swf/bitreader.h"
#include "controls/swf/movie.h"
#include "controls/swf/swfcodes.h"

namespace velmora::swf {

// A stored blend mode; values this player does not know draw normally.
BlendMode readBlendMode(BitReader &in);

class TimelineReader {
public:
    explicit TimelineReader(int movieVersion) : m_version(movieVersion) {}

    // Movies whose code runs in another runtime: their action tags are inert.
    void setScriptsElsewhere(bool elsewhere) { m_scriptsElsewhere = elsewhere; }

    // Reads a control tag into `frame`; false when `code` is no control tag.
    // DoInitAction counts only on the root timeline.
    bool read(TagCode code, BitReader &body, Frame &frame, bool root) const;

private:
    static PlaceCommand readPlaceObject(BitReader &in);
    PlaceCommand readPlaceObject2(BitReader &in, bool v3) const;
    static PlaceCommand readRemoveObject(BitReader &in, bool v2);
    std::vector<ClipActions> readClipActions(BitReader &in) const;

    int m_version;
    bool m_scriptsElsewhere = false;
};

} // namespace velmora::swf
