#include "controls/swf/displaylist.h"

#include <atomic>
#include <set>

namespace velmora::swf {

namespace {
std::atomic<std::uint64_t> g_nextSerial{1};
// A goto inside the actions of a goto's target frame, and so on, stops here.
constexpr int kMaxActionDepth = 16;
} // namespace

DisplayList::DisplayList(const Movie &movie, const Timeline *timeline, InstanceBudget &budget, int nesting)
    : m_movie(movie), m_timeline(timeline), m_budget(budget), m_nesting(nesting)
{
}

DisplayList::~DisplayList()
{
    stopStream();
    if (m_observer) {
        for (auto &[depth, object] : m_objects)
            m_observer->removing(*this, object, false);
    }
}

Instance DisplayList::makeInstance(std::uint16_t characterId, int depth)
{
    Instance i;
    i.serial = g_nextSerial++;
    i.characterId = characterId;
    i.depth = depth;
    auto it = m_movie.characters.find(characterId);
    if (it != m_movie.characters.end())
        i.character = &it->second;
    // Past the limits the object stays empty: it exists but shows nothing.
    if (m_nesting >= kMaxNesting || ++m_budget.createdThisFrame > InstanceBudget::kMaxCreatedPerFrame)
        return i;
    if (const auto *sprite = i.character ? std::get_if<Sprite>(i.character) : nullptr) {
        i.children = std::make_unique<DisplayList>(m_movie, &sprite->timeline, m_budget, m_nesting + 1);
        i.children->m_sounds = m_sounds;
        i.children->m_observer = m_observer;
    } else if (i.character && std::holds_alternative<Button>(*i.character)) {
        // Filled with the up state once the button is in its list (its children's
        // parent must exist first).
        i.children = std::make_unique<DisplayList>(m_movie, nullptr, m_budget, m_nesting + 1);
        i.children->m_sounds = m_sounds;
        i.children->m_observer = m_observer;
    }
    return i;
}

void DisplayList::adopt(Instance &object)
{
    if (object.children) {
        object.children->m_parent = this;
        object.children->m_self = &object;
    }
    if (m_observer)
        m_observer->relocated(*this, object);
}

Instance &DisplayList::insert(Instance object, bool fresh)
{
    const int depth = object.depth;
    auto existing = m_objects.find(depth);
    if (existing != m_objects.end()) {
        discard(existing->second, true);
        m_objects.erase(existing);
    }
    Instance &placed = m_objects.emplace(depth, std::move(object)).first->second;
    adopt(placed);
    if (fresh) {
        if (m_observer)
            m_observer->placed(*this, placed);
        if (placed.character && std::holds_alternative<Button>(*placed.character))
            showButtonState(placed, ButtonRecord::Up);
        // A sprite shows its first frame on the frame it is placed.
        if (placed.children && placed.children->m_timeline && placed.children->m_current < 0)
            placed.children->tick();
    }
    return placed;
}

void DisplayList::discard(Instance &object, bool unload)
{
    if (m_observer)
        m_observer->removing(*this, object, unload);
}

Instance &DisplayList::placeDynamic(Instance object)
{
    object.dynamic = true;
    return insert(std::move(object), true);
}

void DisplayList::remove(int depth, bool unload)
{
    auto it = m_objects.find(depth);
    if (it == m_objects.end())
        return;
    discard(it->second, unload);
    m_objects.erase(it);
}

// A clip with an unload handler leaves its depth d for depth -(d + 1), below every
// depth a file or script gives, and goes at the end of the frame.
void DisplayList::removeByTimeline(int depth)
{
    auto it = m_objects.find(depth);
    const int below = -(depth + 1);
    if (it == m_objects.end() || !m_observer || m_objects.count(below) ||
        !m_observer->unloadLater(*this, it->second)) {
        remove(depth);
        return;
    }
    auto node = m_objects.extract(it);
    node.key() = below;
    node.mapped().depth = below;
    node.mapped().dynamic = true;
    adopt(m_objects.insert(std::move(node)).position->second);
}

void DisplayList::swapDepths(int a, int b)
{
    if (a == b)
        return;
    auto na = m_objects.extract(a), nb = m_objects.extract(b);
    if (!na.empty()) {
        na.key() = b;
        na.mapped().depth = b;
        adopt(m_objects.insert(std::move(na)).position->second);
    }
    if (!nb.empty()) {
        nb.key() = a;
        nb.mapped().depth = a;
        adopt(m_objects.insert(std::move(nb)).position->second);
    }
}

// Children the new state shows too (the same character at the same depth) stay,
// with their playheads and script objects; the others go and the new ones come.
void DisplayList::showButtonState(Instance &button, int state)
{
    const auto *def = button.character ? std::get_if<Button>(button.character) : nullptr;
    button.buttonState = state;
    if (!button.children || !def)
        return; // past the nesting limit the button shows nothing
    DisplayList &shown = *button.children;
    std::map<int, const ButtonRecord *> records; // by depth; a later record of a depth wins
    for (const ButtonRecord &r : def->records) {
        if (r.states & state)
            records[r.depth] = &r;
    }
    for (auto it = shown.m_objects.begin(); it != shown.m_objects.end();) {
        auto record = records.find(it->first);
        if (record != records.end() && record->second->characterId == it->second.characterId) {
            ++it;
            continue;
        }
        shown.discard(it->second, true);
        it = shown.m_objects.erase(it);
    }
    for (const auto &[depth, r] : records) {
        auto kept = shown.m_objects.find(depth);
        Instance *child = kept != shown.m_objects.end() ? &kept->second : nullptr;
        if (child && child->scriptTransformed)
            continue;
        Instance fresh;
        if (!child) {
            fresh = shown.makeInstance(r->characterId, depth);
            child = &fresh;
        }
        child->matrix = r->matrix;
        child->colorTransform = r->colorTransform;
        child->blendMode = r->blendMode;
        child->filters = r->filters;
        if (child == &fresh)
            shown.insert(std::move(fresh), true);
    }
}

bool DisplayList::canChange() const
{
    if (m_timeline && m_playing && m_timeline->frameCount > 1)
        return true;
    for (const auto &[depth, object] : m_objects) {
        // A button's state changes with the mouse only, which the host hears of
        // itself; what a state shows may still move.
        if (object.children && object.children->canChange())
            return true;
    }
    return false;
}

void DisplayList::tick()
{
    // A button's state list has no timeline of its own but runs its clips as scripts expect.
    if (m_observer && (m_current >= 0 || !m_timeline)) {
        tickScripted();
        return;
    }
    std::set<std::uint64_t> earlier;
    for (const auto &[depth, object] : m_objects) {
        if (object.children)
            earlier.insert(object.serial);
    }
    if (m_timeline && m_playing) {
        int next = m_current + 1;
        if (next >= m_timeline->frameCount) {
            if (m_timeline->frameCount > 1 || m_current < 0)
                gotoFrame(0);
        } else {
            m_current = next;
            runFrame(next, nullptr, true);
        }
    }
    for (auto &[depth, object] : m_objects) {
        if (object.children && earlier.count(object.serial))
            object.children->tick();
    }
}

// With scripts the frame runs as Flash runs it: the nested timelines first, the
// most recently placed first, then this timeline's enterFrame and its next frame.
void DisplayList::tickScripted()
{
    std::vector<std::pair<std::uint64_t, DisplayList *>> nested;
    for (auto &[depth, object] : m_objects) {
        if (object.children)
            nested.emplace_back(object.serial, object.children.get());
    }
    std::sort(nested.begin(), nested.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (const auto &[serial, list] : nested)
        list->tick();
    advanceOwnFrame();
}

void DisplayList::advanceOwnFrame()
{
    if (!m_timeline || !m_observer || m_current < 0)
        return;
    m_observer->enteringFrame(*this);
    if (!m_playing)
        return;
    const int next = m_current + 1;
    if (next >= m_timeline->frameCount) {
        if (m_timeline->frameCount > 1)
            gotoFrame(0);
    } else {
        m_current = next;
        runFrame(next, nullptr, true);
    }
}

void DisplayList::reportSounds(const Frame &frame, int index)
{
    if (!m_sounds)
        return;
    for (const StartSound &sound : frame.sounds)
        m_sounds->startSound(sound);
    const auto &stream = m_timeline->stream;
    if (!stream || !m_playing)
        return;
    const auto &blocks = stream->blocks;
    auto block = std::lower_bound(blocks.begin(), blocks.end(), index,
                                  [](const StreamBlock &b, int frame) { return b.frame < frame; });
    if (block != blocks.end() && block->frame == index)
        m_sounds->streamFrame(this, *stream, static_cast<std::size_t>(block - blocks.begin()));
}

void DisplayList::setPlaying(bool playing)
{
    m_playing = playing;
    if (!playing)
        stopStream();
}

void DisplayList::stopStream()
{
    if (m_sounds && m_timeline && m_timeline->stream)
        m_sounds->streamStop(this);
}

void DisplayList::runActions(const std::vector<Action> &actions)
{
    if (!m_timeline || m_actionDepth >= kMaxActionDepth)
        return;
    ++m_actionDepth;
    for (const Action &a : actions) {
        switch (a.op) {
        case ActionOp::Stop:
            m_playing = false;
            stopStream();
            break;
        case ActionOp::Play:
            m_playing = true;
            break;
        case ActionOp::StopSounds:
            if (m_sounds)
                m_sounds->stopAll();
            break;
        case ActionOp::GotoFrame:
            gotoFrame(a.frame);
            break;
        case ActionOp::GotoLabel: {
            int frame = m_timeline->findLabel(a.label);
            if (frame >= 0)
                gotoFrame(frame);
            break;
        }
        case ActionOp::NextFrame:
            m_playing = false;
            stopStream();
            gotoFrame(m_current + 1);
            break;
        case ActionOp::PrevFrame:
            m_playing = false;
            stopStream();
            gotoFrame(m_current - 1);
            break;
        }
    }
    --m_actionDepth;
}

void DisplayList::gotoFrame(int target, bool withActions)
{
    if (!m_timeline)
        return;
    target = std::clamp(target, 0, m_timeline->frameCount - 1);
    if (target == m_current)
        return;
    stopStream(); // the target frame's block, if it has one, starts the stream afresh
    const int from = m_current;
    m_current = target;
    if (target > from) {
        for (int f = from + 1; f <= target; ++f)
            runFrame(f, nullptr, withActions && f == target);
    } else {
        // A rewind rebuilds the list as of the target frame; objects that are still
        // there keep their identity (and a sprite its playhead), the rest go.
        // Objects a script made stay where they are.
        std::map<int, Instance> old = std::move(m_objects);
        m_objects.clear();
        for (auto it = old.begin(); it != old.end();) {
            if (it->second.dynamic) {
                adopt(m_objects.insert(old.extract(it++)).position->second);
            } else {
                ++it;
            }
        }
        for (int f = 0; f <= target; ++f)
            runFrame(f, &old, withActions && f == target);
        for (auto &[depth, object] : old)
            discard(object, true);
    }
}

void DisplayList::runFrame(int frame, std::map<int, Instance> *reuse, bool withActions)
{
    const Frame *f = m_timeline->frame(frame);
    if (!f)
        return;
    if (!withActions || !m_observer) {
        for (const PlaceCommand &c : f->commands)
            apply(c, reuse);
        if (withActions) {
            reportSounds(*f, frame);
            for (const ActionBlock &block : f->actions)
                runActions(block.simple);
        }
        return;
    }
    m_observer->initActions(*this, *f);
    reportSounds(*f, frame);
    std::size_t next = 0;
    for (std::size_t k = 0; k <= f->commands.size(); ++k) {
        while (next < f->actions.size() && f->actions[next].commandsBefore <= k)
            m_observer->frameAction(*this, f->actions[next++]);
        if (k < f->commands.size())
            apply(f->commands[k], reuse);
    }
}

void DisplayList::apply(const PlaceCommand &c, std::map<int, Instance> *reuse)
{
    if (c.kind == PlaceCommand::Kind::Remove) {
        auto it = m_objects.find(c.depth);
        if (it != m_objects.end() && !it->second.dynamic)
            removeByTimeline(c.depth);
        return;
    }
    auto existing = m_objects.find(c.depth);
    Instance *target = nullptr;
    if (c.characterId && (!c.move || existing == m_objects.end())) {
        if (existing != m_objects.end() && m_observer) {
            // Flash places nothing on a depth that is taken.
            m_observer->placeFailed(c.depth);
            return;
        }
        // A new object at this depth (replacing whatever was there).
        Instance fresh;
        bool kept = false;
        if (reuse) {
            auto old = reuse->find(c.depth);
            if (old != reuse->end() && old->second.characterId == *c.characterId) {
                fresh = std::move(old->second);
                reuse->erase(old);
                fresh.matrix = {};
                fresh.colorTransform = {};
                fresh.ratio = 0;
                fresh.clipDepth = 0;
                fresh.visible = true;
                fresh.blendMode = BlendMode::Normal;
                fresh.filters.clear();
                fresh.opaqueBackground.reset();
                kept = true;
            }
        }
        if (!kept) {
            fresh = makeInstance(*c.characterId, c.depth);
            fresh.name = c.name;
            if (!c.clipActions.empty())
                fresh.clipActions = &c.clipActions;
        }
        // The placement's properties apply before the object is announced.
        if (c.matrix)
            fresh.matrix = *c.matrix;
        if (c.colorTransform)
            fresh.colorTransform = *c.colorTransform;
        target = &insert(std::move(fresh), !kept);
    } else if (existing != m_objects.end()) {
        target = &existing->second;
        if (target->dynamic || target->scriptTransformed)
            return; // a script took this object over
        if (c.characterId && *c.characterId != target->characterId) {
            // Replace: the instance keeps its place and transforms, only the art changes.
            Instance art = makeInstance(*c.characterId, c.depth);
            target->characterId = art.characterId;
            target->character = art.character;
            target->children = std::move(art.children);
            target->buttonState = art.buttonState;
            adopt(*target);
            if (target->character && std::holds_alternative<Button>(*target->character))
                showButtonState(*target, ButtonRecord::Up);
            if (target->children && target->children->m_timeline)
                target->children->tick();
        }
    } else {
        return; // a change to an empty depth does nothing
    }
    if (c.matrix)
        target->matrix = *c.matrix;
    if (c.colorTransform)
        target->colorTransform = *c.colorTransform;
    if (c.ratio)
        target->ratio = *c.ratio;
    if (c.clipDepth)
        target->clipDepth = *c.clipDepth;
    if (c.visible)
        target->visible = *c.visible;
    if (c.blendMode)
        target->blendMode = *c.blendMode;
    if (c.filters)
        target->filters = *c.filters;
    if (c.opaqueBackground)
        target->opaqueBackground = *c.opaqueBackground;
}

} // namespace velmora::swf
