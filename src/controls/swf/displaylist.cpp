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
        i.children->tick(); // a sprite shows its first frame on the frame it is placed
    } else if (i.character && std::holds_alternative<Button>(*i.character)) {
        showButtonState(i, ButtonRecord::Up);
    }
    return i;
}

void DisplayList::showButtonState(Instance &button, int state)
{
    const auto *def = button.character ? std::get_if<Button>(button.character) : nullptr;
    button.buttonState = state;
    if (m_nesting >= kMaxNesting) {
        button.children.reset(); // as deep as lists go: the button shows nothing
        return;
    }
    button.children = std::make_unique<DisplayList>(m_movie, nullptr, m_budget, m_nesting + 1);
    button.children->m_sounds = m_sounds;
    if (!def)
        return;
    for (const ButtonRecord &r : def->records) {
        if (!(r.states & state))
            continue;
        Instance child = button.children->makeInstance(r.characterId, r.depth);
        child.matrix = r.matrix;
        child.colorTransform = r.colorTransform;
        child.blendMode = r.blendMode;
        child.filters = r.filters;
        button.children->m_objects.insert_or_assign(r.depth, std::move(child));
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
            runCommands(next, nullptr);
            m_current = next;
            enterFrame(next);
        }
    }
    for (auto &[depth, object] : m_objects) {
        if (object.children && earlier.count(object.serial))
            object.children->tick();
    }
}

void DisplayList::enterFrame(int frame)
{
    if (const Frame *f = m_timeline->frame(frame)) {
        reportSounds(*f, frame);
        for (const ActionBlock &block : f->actions)
            runActions(block.simple);
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

void DisplayList::gotoFrame(int target)
{
    if (!m_timeline)
        return;
    target = std::clamp(target, 0, m_timeline->frameCount - 1);
    if (target == m_current)
        return;
    if (target > m_current) {
        for (int f = m_current + 1; f <= target; ++f)
            runCommands(f, nullptr);
    } else {
        // A rewind rebuilds the list as of the target frame; objects that are still
        // there keep their identity (and a sprite its playhead), the rest go.
        std::map<int, Instance> old = std::move(m_objects);
        m_objects.clear();
        for (int f = 0; f <= target; ++f)
            runCommands(f, &old);
    }
    m_current = target;
    stopStream(); // the target frame's block, if it has one, starts the stream afresh
    enterFrame(target);
}

void DisplayList::runCommands(int frame, std::map<int, Instance> *reuse)
{
    if (const Frame *f = m_timeline->frame(frame)) {
        for (const PlaceCommand &c : f->commands)
            apply(c, reuse);
    }
}

void DisplayList::apply(const PlaceCommand &c, std::map<int, Instance> *reuse)
{
    if (c.kind == PlaceCommand::Kind::Remove) {
        m_objects.erase(c.depth);
        return;
    }
    auto existing = m_objects.find(c.depth);
    Instance *target = nullptr;
    if (c.characterId && (!c.move || existing == m_objects.end())) {
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
        if (!kept)
            fresh = makeInstance(*c.characterId, c.depth);
        target = &m_objects.insert_or_assign(c.depth, std::move(fresh)).first->second;
    } else if (existing != m_objects.end()) {
        target = &existing->second;
        if (c.characterId && *c.characterId != target->characterId) {
            // Replace: the instance keeps its place and transforms, only the art changes.
            Instance art = makeInstance(*c.characterId, c.depth);
            target->characterId = art.characterId;
            target->character = art.character;
            target->children = std::move(art.children);
            target->buttonState = art.buttonState;
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
