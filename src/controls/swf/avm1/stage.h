// The script engine of one player: it hears the display lists (placements,
// removals, frames), gives every sprite and button its script object, queues
// frame actions and clip events in Flash's order and runs them, and turns mouse
// and key input into clip events and button condition actions.
#pragma once

#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/displaylist.h"

#include <QPointF>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace velmora::swf::avm1 {

// Keys as Flash numbers them (Key.getCode, button key-press conditions).
struct KeyEvent {
    int code = 0;      // Flash key code: Enter 13, Left 37, 'A' 65, ...
    int character = 0; // the character typed, 0 for none
};

// Whether a movie has any action for scripts to run.
bool hasScripts(const Movie &movie);

// What scripts set of the player as a whole, through any clip.
enum class Quality : std::uint8_t { Low, Medium, High, Best };
struct PlayerSettings {
    Quality quality = Quality::High; // _quality, _highquality
    bool focusRect = true;           // _focusrect
    int soundBufferTime = 5;         // _soundbuftime, seconds
};

class ScriptStage : public TimelineObserver {
public:
    ScriptStage(const Movie &movie, DisplayList &root, RuntimeHost host);
    ~ScriptStage() override;

    Runtime &runtime() { return *m_runtime; }
    DisplayList &rootList() { return m_root; }
    const Movie &movie() const { return m_movie; }

    // Around the root's tick: the budget renews, then the queued scripts run.
    void beginFrame();
    void endFrame();
    // One frame of every timeline: the most recently placed clip first, the root last.
    void advanceTimelines();
    // Whether the root or a clip on stage has an enterFrame handler (onClipEvent or onEnterFrame),
    // so that time changes what the movie shows even with every timeline stopped.
    bool runsEveryFrame() const;

    // Input, in stage pixels.
    void mouseMove(QPointF stage);
    void mouseDown(QPointF stage);
    void mouseUp(QPointF stage);
    void keyDown(const KeyEvent &key);
    void keyUp(const KeyEvent &key);
    QPointF mouse() const { return m_mouse; }
    bool mousePressed() const { return m_mouseDown; }
    // getURL may open one address per user action (a press, a release, a key).
    bool takeUrlPermission();
    // The button instance under a stage point, topmost first (the player's hit test).
    std::function<Instance *(QPointF)> buttonAt;
    // The list holding the topmost drawn object under a stage point, outside `skip`.
    std::function<DisplayList *(QPointF, const Instance *)> listUnder;
    // The clip under the pointer that the dragged clip would drop on, or null.
    ClipObject *dropTarget();

    // The clip being dragged (startDrag), or null.
    ClipObject *dragged = nullptr;
    bool dragLockCenter = false;
    std::optional<std::array<double, 4>> dragBounds; // left, top, right, bottom (pixels)
    QPointF dragOffset;
    // Keys held down, for Key.isDown; the last key for Key.getCode.
    std::map<int, bool> keysDown;
    KeyEvent lastKey;
    ClipObject *focus = nullptr; // Selection.setFocus
    // The root's transform, colour and visibility: scripts set them as a clip's
    // (_level0._x), and the root is drawn through them.
    Instance rootPlacement;
    PlayerSettings settings;

    // The next default instance name ("instance1", ...).
    std::string nextInstanceName() { return "instance" + std::to_string(++m_instanceCount); }
    ClipObject *objectFor(Instance &object);
    // The script object of the timeline a list shows.
    ClipObject *clipOf(DisplayList &list);

    // TimelineObserver
    void initActions(DisplayList &list, const Frame &frame) override;
    void frameAction(DisplayList &list, const ActionBlock &block) override;
    void placed(DisplayList &parent, Instance &object) override;
    void relocated(DisplayList &parent, Instance &object) override;
    void removing(DisplayList &parent, Instance &object, bool unload) override;
    bool unloadLater(DisplayList &parent, Instance &object) override;
    void enteringFrame(DisplayList &list) override;
    void placeFailed(int depth) override;

    // Queues the clip-event actions of a clip for the given event flags.
    void queueClipEvent(ClipObject *clip, std::uint32_t event, Runtime::Priority priority,
                        const char *method = nullptr, bool onRemoved = false);

private:
    void detach(Instance &object, bool unload);
    void queueUnload(Instance &object);
    bool hasUnloadHandler(Instance &object);
    void runQueue();
    void removeUnloaded();
    void dispatchMouseEvent(std::uint32_t event, const char *method);
    void updatePointer(bool pressChanged);
    void listenerCall(const char *listeners, const char *method);
    ClipObject *interactiveAt(QPointF stage);
    void buttonTransition(ClipObject *target, std::uint16_t condition);
    bool keyPressConditions(const KeyEvent &key);
    void focusKey(const char *method);
    void moveFocus();

    // A button (or clip acting as one) the pointer follows. One that the timeline
    // replaces by an object of the same character at the same depth of the same
    // parent stays the same button to the pointer, as it does in Flash.
    struct Tracked {
        ClipObject *clip = nullptr;
        ClipObject *parent = nullptr;
        int depth = 0;
        const Character *character = nullptr;
    };
    static void track(Tracked &t, ClipObject *clip);
    static ClipObject *current(Tracked &t);

    const Movie &m_movie;
    DisplayList &m_root;
    std::unique_ptr<Runtime> m_runtime;
    ClipObject *m_rootClip = nullptr;
    QPointF m_mouse;
    bool m_mouseDown = false;
    bool m_userAction = false;
    bool m_urlOpened = false;
    Tracked m_hovered; // button or clip-as-button under the pointer
    Tracked m_pressed; // where the press started
    int m_instanceCount = 0;
    std::set<std::uint16_t> m_initDone;      // sprites whose DoInitAction ran
    std::vector<ClipObject *> m_unloadLater; // clips that go at the end of the frame
};

} // namespace velmora::swf::avm1
