// The display list of one timeline (the root, a sprite instance or a button state):
// objects by depth, the playhead and the frame commands that change them.
#pragma once

#include "controls/swf/movie.h"
#include "controls/swf/sound/soundevents.h"

#include <map>
#include <memory>

namespace velmora::swf {

class DisplayList;
namespace avm1 {
class ClipObject;
}

// frameSignature() (framesignature.h) reads every field that is drawn: a new one drawn goes there too.
struct Instance {
    std::uint64_t serial = 0; // unique per placement, to follow an object across frames
    std::uint16_t characterId = 0;
    const Character *character = nullptr;
    int depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    int clipDepth = 0;
    bool visible = true;
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
    std::optional<Rgba> opaqueBackground;  // fills the object's bounds behind it
    std::unique_ptr<DisplayList> children; // a sprite's timeline or a button's current state
    int buttonState = ButtonRecord::Up;
    std::string name;                   // instance name, from the placement or a script
    avm1::ClipObject *script = nullptr; // the object scripts know it by
    bool dynamic = false;               // made by a script: the timeline leaves it alone
    bool scriptTransformed = false;     // moved by a script: the timeline no longer moves it
    const std::vector<ClipActions> *clipActions = nullptr; // from the placement
};

// What a script engine hears from the display lists of its movie. A list without
// an observer runs the simple frame controls itself, at once.
class TimelineObserver {
public:
    virtual ~TimelineObserver() = default;
    // A frame is entered: its DoInitAction blocks are due, then each DoAction block
    // in tag order, among the placements.
    virtual void initActions(DisplayList &list, const Frame &frame) = 0;
    virtual void frameAction(DisplayList &list, const ActionBlock &block) = 0;
    // An object was placed; a sprite's first frame runs after this.
    virtual void placed(DisplayList &parent, Instance &object) = 0;
    // The object now lives at this address (lists move their objects).
    virtual void relocated(DisplayList &parent, Instance &object) = 0;
    // The object leaves the list; unload is false when the whole player goes.
    virtual void removing(DisplayList &parent, Instance &object, bool unload) = 0;
    // The timeline removes an object: true when it should stay until the end of the
    // frame at the depth below all others its removal gives it (a clip with an unload
    // handler, which the observer has queued), false when it goes at once.
    virtual bool unloadLater(DisplayList &parent, Instance &object) = 0;
    // The start of a timeline's frame, before it advances: enterFrame events.
    virtual void enteringFrame(DisplayList &list) = 0;
    // A placement on a depth that is taken.
    virtual void placeFailed(int depth) = 0;
};

// No display list nests deeper than this below the root, so whatever walks the lists
// (painting, hit tests, button states) recurses at most this deep.
constexpr int kMaxNesting = 32;

// Limits on what one player builds, so that a movie whose sprites place each other
// (or themselves) cannot recurse or multiply without end.
struct InstanceBudget {
    static constexpr int kMaxCreatedPerFrame = 20000;
    int createdThisFrame = 0;
};

class DisplayList {
public:
    // timeline may be null: a button state list that is filled by hand. The budget
    // is shared by every list of one player and must outlive them.
    DisplayList(const Movie &movie, const Timeline *timeline, InstanceBudget &budget, int nesting = 0);
    ~DisplayList();
    DisplayList(const DisplayList &) = delete;
    DisplayList &operator=(const DisplayList &) = delete;

    // Where this list and the lists it creates report the sounds of their frames;
    // null (the default) for none. Must outlive the lists.
    void setSoundEvents(SoundEvents *events) { m_sounds = events; }
    // Lists made from now on by this one share the observer.
    void setObserver(TimelineObserver *observer) { m_observer = observer; }
    TimelineObserver *observer() const { return m_observer; }
    DisplayList *parent() const { return m_parent; }
    Instance *self() const { return m_self; } // null for the root
    const Timeline *timeline() const { return m_timeline; }
    const Movie &movie() const { return m_movie; }
    InstanceBudget &budget() const { return m_budget; }
    int nesting() const { return m_nesting; }

    // Runs one frame of this timeline and of every nested timeline placed earlier.
    void tick();
    // With scripts: only this timeline's enterFrame and next frame, not the nested
    // ones (the script engine runs every timeline of the movie in its own order).
    void advanceOwnFrame();
    // Without actions the target frame's scripts do not run (a script's goto past the end).
    void gotoFrame(int target, bool withActions = true);
    void runActions(const std::vector<Action> &actions);
    // Stopping ends the timeline's sound stream.
    void setPlaying(bool playing);
    // Places a new object made by a script (a duplicate, an attached or empty clip);
    // whatever was at the depth goes.
    Instance &placeDynamic(Instance object);
    // unload false: the object's unload handlers have run already.
    void remove(int depth, bool unload = true);
    // Exchanges the objects at two depths (either may be empty).
    void swapDepths(int a, int b);

    int currentFrame() const { return m_current; }
    bool isPlaying() const { return m_playing; }
    const std::map<int, Instance> &objects() const { return m_objects; }
    std::map<int, Instance> &objects() { return m_objects; }
    // True when this list or a nested one can still change by itself.
    bool canChange() const;

    // Builds the children a button shows in the given state.
    void showButtonState(Instance &button, int state);
    Instance makeInstance(std::uint16_t characterId, int depth);

private:
    void tickScripted();
    // The frame's placements; with its actions when the playhead stops on it.
    void runFrame(int frame, std::map<int, Instance> *reuse, bool withActions);
    void apply(const PlaceCommand &c, std::map<int, Instance> *reuse);
    void enterFrame(int frame);
    void reportSounds(const Frame &frame, int index);
    void stopStream();
    // Puts an object at its depth, tells the observer and starts a sprite's timeline.
    Instance &insert(Instance object, bool fresh);
    void adopt(Instance &object);
    void discard(Instance &object, bool unload);
    void removeByTimeline(int depth);

    TimelineObserver *m_observer = nullptr;
    DisplayList *m_parent = nullptr;
    Instance *m_self = nullptr;
    const Movie &m_movie;
    const Timeline *m_timeline;
    InstanceBudget &m_budget;
    int m_nesting;
    std::map<int, Instance> m_objects;
    int m_current = -1;
    bool m_playing = true;
    int m_actionDepth = 0;
    SoundEvents *m_sounds = nullptr;
};

} // namespace velmora::swf
