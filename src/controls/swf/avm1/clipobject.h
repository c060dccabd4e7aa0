// Movie clips and buttons as script objects: what the interpreter asks of the
// display list (timeline control, properties, paths, children). A clip object
// outlives its display object; a reference to a removed clip finds the clip that
// now has the same path, as Flash does.
#pragma once

#include "controls/swf/avm1/runtime.h"
#include "controls/swf/movie.h"

namespace velmora::swf {
class DisplayList;
struct Instance;
} // namespace velmora::swf

namespace velmora::swf::avm1 {
class ScriptStage;
}

namespace velmora::swf::avm1 {

// Depths scripts give (getDepth, attachMovie) are offset from the file's depths:
// depth 0 of a script is this depth of the display list.
constexpr int kDynamicDepthBase = 16384;

class ClipObject : public Object {
public:
    explicit ClipObject(bool caseSensitive) : Object(caseSensitive, Kind::Clip) {}

    DisplayList *list = nullptr;  // the clip's own timeline; null once removed
    Instance *instance = nullptr; // its place in the parent (null for the root)
    ClipObject *parent = nullptr;
    std::string name;
    std::string path;       // "_level0.a.b", kept to find the clip again after removal
    std::string dropTarget; // slash path of what the last drag of this clip ended on
    bool isButton = false;
    bool isText = false; // an editable text field: display properties, no timeline
    bool removed = false;
    bool leaving = false; // taken off by its timeline, gone at the end of the frame
    const std::vector<ClipActions> *clipActions = nullptr; // onClipEvent handlers
    // _xscale and _yscale (percent) and _rotation (degrees) as a script last set them,
    // and the skew of the matrix they were taken from. Flash reads these back as set,
    // not from the matrix, which is made from them; only a clip the timeline no
    // longer moves has them.
    struct Transform {
        double xScale = 100, yScale = 100, rotation = 0, skew = 0;
    };
    std::optional<Transform> transform;

    bool isMovieClip() const { return !isButton && !isText; }
};

// The clip a reference means now: itself while on stage, otherwise the clip at its
// path (null when there is none).
ClipObject *liveClip(Runtime &rt, ClipObject *clip);
// A clip as a string: its target path, or "" once nothing is at that path.
std::string clipString(Runtime &rt, ClipObject *clip);

enum class ClipProperty : std::uint8_t {
    X = 0,
    Y,
    XScale,
    YScale,
    CurrentFrame,
    TotalFrames,
    Alpha,
    Visible,
    Width,
    Height,
    Rotation,
    Target,
    FramesLoaded,
    Name,
    DropTarget,
    Url,
    HighQuality,
    FocusRect,
    SoundBufTime,
    Quality,
    XMouse,
    YMouse,
    Count
};
// Where a clip's transform lives: its place in the parent, or the stage's for the
// root; null once removed.
Instance *placementOf(Runtime &rt, ClipObject *clip);
// From the clip's space to the stage's, in twips.
Matrix clipWorldMatrix(Runtime &rt, ClipObject *clip);
// The inverse of a matrix; false (and `out` as it was) when it has none.
bool invert(const Matrix &m, Matrix &out);

// "_x" → X; nothing for other names.
std::optional<ClipProperty> clipPropertyByName(const std::string &name, bool caseSensitive);
Value getClipProperty(Runtime &rt, ClipObject *clip, ClipProperty p);
void setClipProperty(Runtime &rt, ClipObject *clip, ClipProperty p, const Value &v);

// Timeline control. frame is a 1-based number or a label (or "label" after a
// slash path: "/a:label"); out-of-range numbers clamp as Flash does.
// A scene's bias is added to the frame found.
void clipGotoFrame(Runtime &rt, ClipObject *clip, const Value &frame, bool play, int bias = 0);
void clipGotoNumber(Runtime &rt, ClipObject *clip, int zeroBasedFrame, bool play);
void clipGotoLabel(Runtime &rt, ClipObject *clip, const std::string &label, bool play);
std::optional<int> clipLabelFrame(ClipObject *clip, const std::string &label); // 0-based
void clipSetPlaying(ClipObject *clip, bool playing);
void clipNextFrame(Runtime &rt, ClipObject *clip);
void clipPrevFrame(Runtime &rt, ClipObject *clip);
int clipCurrentFrame(ClipObject *clip); // 1-based
int clipTotalFrames(ClipObject *clip);
// The actions of a frame (for Call), as code blocks.
std::vector<Code> clipFrameActions(Runtime &rt, ClipObject *clip, const Value &frame);

// The names a clip answers to besides its own variables: children by instance
// name and the display properties (_x, _parent, ...).
bool getClipSpecial(Runtime &rt, ClipObject *clip, const std::string &name, Value &out);
bool setClipSpecial(Runtime &rt, ClipObject *clip, const std::string &name, const Value &v);

// Instance names of the children, for for-in.
void clipChildNames(Runtime &rt, ClipObject *clip, std::vector<std::string> &out);

// Navigation.
// The parent scripts see: before SWF 6 a button is no object of its own, so a clip in
// a button's state answers with the button's parent.
ClipObject *scriptParent(Runtime &rt, ClipObject *clip);
ClipObject *clipChild(Runtime &rt, ClipObject *clip, const std::string &name);
std::string clipTargetPath(ClipObject *clip); // "_level0.a.b"
std::string clipSlashPath(ClipObject *clip);  // "/a/b"

// Display list changes made by scripts.
// The display-list depth for a depth number a script gives, offset by `offset`
// (kDynamicDepthBase for the methods' depths, 0 for the action's): wrapped to an
// integer as Flash does; nothing past the deepest depth a script may use.
constexpr std::int64_t kMaxPlacementDepth = 2130706428;
std::optional<int> placementDepth(double depth, int offset);
// A clip a script places (attachMovie, createEmptyMovieClip with character 0,
// duplicateMovieClip with `like` the original): replaces what is at the depth;
// `init`'s properties are copied onto it. Undefined when it cannot be placed.
struct ScriptPlacement {
    std::uint16_t characterId = 0;
    std::string name;
    int depth = 0; // in the display list
    Value init;
    const Instance *like = nullptr;
};
Value placeScriptClip(Runtime &rt, ClipObject *parent, const ScriptPlacement &placement);
// A copy of a clip beside it: character, transform and clip events, none of its variables.
Value duplicateClip(Runtime &rt, ClipObject *source, const std::string &name, int depth, const Value &init);
void removeClip(Runtime &rt, ClipObject *clip);
void startDrag(Runtime &rt, ClipObject *clip, bool lockCenter, const double *bounds);
void stopDrag(Runtime &rt);

} // namespace velmora::swf::avm1
