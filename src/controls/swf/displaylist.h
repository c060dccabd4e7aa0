// The display list of one timeline (the root, a sprite instance or a button state):
// objects by depth, the playhead and the frame commands that change them.
#pragma once

#include "controls/swf/movie.h"
#include "controls/swf/sound/soundevents.h"

#include <map>
#include <memory>

namespace velmora::swf {

class DisplayList;

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

    // Runs one frame of this timeline and of every nested timeline placed earlier.
    void tick();
    void gotoFrame(int target);
    void runActions(const std::vector<Action> &actions);

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
    void runCommands(int frame, std::map<int, Instance> *reuse);
    void apply(const PlaceCommand &c, std::map<int, Instance> *reuse);
    void enterFrame(int frame);
    void reportSounds(const Frame &frame, int index);
    void stopStream();

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
