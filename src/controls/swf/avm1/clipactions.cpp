// The actions on clips and timelines: targets, properties, frames, drags and
// the addresses a movie asks for.
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/machine.h"
#include "controls/swf/avm1/paths.h"
#include "controls/swf/bitreader.h"
#include "controls/swf/displaylist.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora::swf::avm1 {

namespace {

// A property number as the actions take it: truncated, and held to int's range first
// (a number past it is undefined as an int); not a number is none.
int propertyIndex(double index)
{
    return std::isfinite(index) ? static_cast<int>(std::clamp(index, -1.0, 1e6)) : -1;
}

// WaitForFrame2 on a movie that is loaded whole: an integral frame number (wrapping
// as a 32-bit integer, 1-based) is loaded up to the format's last frame; anything
// else names a label, and a label is loaded or does not exist.
bool frameLoaded(Runtime &rt, const Value &frame)
{
    double n = std::numeric_limits<double>::quiet_NaN();
    if (frame.isNumber())
        n = frame.asNumber();
    else if (frame.isString()) {
        rt.spendBytes(frame.asString().size());
        n = stringToNumber(frame.asString(), rt.version());
    }
    if (!std::isfinite(n) || n != std::trunc(n))
        return true;
    const auto zeroBased = static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt32(n)) - 1u);
    return zeroBased <= kMaxFrameCount;
}

} // namespace

void Machine::setTarget(const Value &path)
{
    ClipObject *clip = nullptr;
    m_act.targetLost = false;
    if (path.isObject() && path.asObject()->kind() == Object::Kind::Clip) {
        // A clip stands for its path: the first clip of that name answers.
        ClipObject *named = liveClip(m_rt, static_cast<ClipObject *>(path.asObject()));
        clip = named ? clipAtTargetPath(m_rt, clipTargetPath(named)) : nullptr;
    } else {
        const std::string name = m_rt.toString(path);
        if (name.empty()) {
            clip = m_act.baseClip; // tellTarget("") ends a tellTarget
        } else if (m_act.baseClip && !liveClip(m_rt, m_act.baseClip)) {
            m_act.targetLost = true;
        } else {
            const Value t = resolveTarget(m_act, name);
            Object *o = t.isObject() ? t.asObject() : nullptr;
            clip = o && o->kind() == Object::Kind::Clip ? static_cast<ClipObject *>(o) : nullptr;
        }
    }
    // A target that does not exist has no properties; its variables and timeline
    // actions are the root's.
    m_act.target = clip;
    for (ScopeEntry &e : m_act.scope) {
        if (e.kind == ScopeEntry::Kind::Target) {
            e.object = clip ? clip : m_rt.root;
            break;
        }
    }
}

ClipObject *Machine::clipFromStack(const Value &v)
{
    Value t = v;
    if (v.isString()) {
        m_rt.spendBytes(v.asString().size());
        t = v.asString().empty() ? Value(target()) : resolveTarget(m_act, v.asString());
    } else if (!v.isObject() || v.asObject()->kind() != Object::Kind::Clip) {
        t = resolveTarget(m_act, m_rt.toString(v)); // an object names a target by its string
    }
    Object *o = t.isObject() ? t.asObject() : nullptr;
    if (o && o->kind() == Object::Kind::Clip)
        return liveClip(m_rt, static_cast<ClipObject *>(o));
    return nullptr;
}

// A frame given as an object is read by its string (a number or a label).
Value Machine::frameOperand(const Value &v)
{
    if (v.isObject() && v.asObject()->kind() != Object::Kind::Clip)
        return m_rt.toString(v);
    return v;
}

void Machine::getUrl(const std::string &url, const std::string &window)
{
    if (m_rt.host().getUrl)
        m_rt.host().getUrl(url, window);
}

// One switch over the clip and timeline actions, a short case each: long, but read case
// by case.
bool Machine::clipAction(const ActionRecord &a)
{
    const int version = m_rt.version();
    switch (a.code) {
    case ActionCode::TargetPath: {
        const Value v = pop(m_stack);
        Object *o = v.isObject() ? v.asObject() : nullptr;
        if (o && o->kind() == Object::Kind::Clip)
            m_stack.emplace_back(clipTargetPath(static_cast<ClipObject *>(o)));
        else
            m_stack.emplace_back();
        break;
    }
    case ActionCode::SetTarget: {
        BitReader body(a.body);
        setTarget(Value(decodeString(body.string(), version)));
        break;
    }
    case ActionCode::SetTarget2:
        setTarget(pop(m_stack));
        break;
    case ActionCode::GetProperty: {
        const double index = m_rt.toNumber(pop(m_stack));
        ClipObject *clip = clipFromStack(pop(m_stack));
        const int i = propertyIndex(index);
        if (clip && i >= 0 && i < static_cast<int>(ClipProperty::Count))
            m_stack.push_back(getClipProperty(m_rt, clip, static_cast<ClipProperty>(i)));
        else
            m_stack.emplace_back();
        break;
    }
    case ActionCode::SetProperty: {
        Value v = pop(m_stack);
        const double index = m_rt.toNumber(pop(m_stack));
        ClipObject *clip = clipFromStack(pop(m_stack));
        const int i = propertyIndex(index);
        // The value is read for the property whether or not the clip is there: the
        // name and the quality as strings (from SWF 7 a NaN names a clip "0"), the
        // addresses (read-only) and _focusrect not at all, the rest by valueOf.
        const auto is = [i](ClipProperty p) { return i == static_cast<int>(p); };
        if (is(ClipProperty::Name) && m_rt.version() >= 7 && v.isNumber() && std::isnan(v.asNumber()))
            v = "0";
        else if (is(ClipProperty::Name) || is(ClipProperty::Quality))
            v = m_rt.toString(v);
        else if (!is(ClipProperty::Target) && !is(ClipProperty::DropTarget) && !is(ClipProperty::Url) &&
                 !is(ClipProperty::FocusRect))
            v = m_rt.toPrimitive(v);
        if (v.isObject() && !is(ClipProperty::FocusRect))
            v = std::numeric_limits<double>::quiet_NaN(); // valueOf gave an object: not a number
        if (clip && i >= 0 && i < static_cast<int>(ClipProperty::Count))
            setClipProperty(m_rt, clip, static_cast<ClipProperty>(i), v);
        break;
    }
    case ActionCode::CloneSprite: {
        const auto depth = placementDepth(m_rt.toNumber(pop(m_stack)), 0);
        const std::string name = m_rt.toString(pop(m_stack));
        ClipObject *source = clipFromStack(pop(m_stack));
        if (source && depth)
            duplicateClip(m_rt, source, name, *depth, Value());
        break;
    }
    case ActionCode::RemoveSprite:
        if (ClipObject *clip = clipFromStack(pop(m_stack)))
            removeClip(m_rt, clip);
        break;
    case ActionCode::StartDrag: {
        ClipObject *clip = clipFromStack(pop(m_stack));
        // Both flags are read as numbers; only 1 asks for a constraint rectangle.
        const double lock = m_rt.toNumber(pop(m_stack));
        const bool lockCenter = lock != 0 && !std::isnan(lock);
        const bool constrained = m_rt.toNumber(pop(m_stack)) == 1;
        double bounds[4] = {};
        if (constrained) {
            bounds[3] = m_rt.toNumber(pop(m_stack)); // y2
            bounds[2] = m_rt.toNumber(pop(m_stack)); // x2
            bounds[1] = m_rt.toNumber(pop(m_stack)); // y1
            bounds[0] = m_rt.toNumber(pop(m_stack)); // x1
        }
        if (clip)
            startDrag(m_rt, clip, lockCenter, constrained ? bounds : nullptr);
        break;
    }
    case ActionCode::EndDrag:
        stopDrag(m_rt);
        break;
    case ActionCode::GetUrl: {
        BitReader body(a.body);
        const std::string url = decodeString(body.string(), version);
        getUrl(url, decodeString(body.string(), version));
        break;
    }
    case ActionCode::GetUrl2: {
        const std::string window = m_rt.toString(pop(m_stack));
        const std::string url = m_rt.toString(pop(m_stack));
        getUrl(url, window);
        break;
    }
    case ActionCode::Call: {
        const Value frame = frameOperand(pop(m_stack));
        if (ClipObject *clip = timelineClip()) {
            for (Code block : clipFrameActions(m_rt, clip, frame))
                m_rt.callBlock(block, clip);
        }
        // Code whose clip has left the stage ends once a frame it called returns.
        if (m_act.baseClip && !liveClip(m_rt, m_act.baseClip))
            throw BlockEnded{};
        break;
    }
    case ActionCode::ToggleQuality:
        break;
    case ActionCode::StopSounds:
        // Every sound of the movie ends; the root's list reaches the sound events.
        if (m_rt.root && m_rt.root->list)
            m_rt.root->list->runActions({{ActionOp::StopSounds, 0, {}}});
        break;
    default:
        return false;
    }
    return true;
}

void Machine::timelineAction(const ActionRecord &a, std::size_t &pc)
{
    const ActionCode code = a.code;
    ClipObject *clip = timelineClip();
    switch (code) {
    case ActionCode::NextFrame:
        if (clip)
            clipNextFrame(m_rt, clip);
        break;
    case ActionCode::PreviousFrame:
        if (clip)
            clipPrevFrame(m_rt, clip);
        break;
    case ActionCode::Play:
        if (clip)
            clipSetPlaying(clip, true);
        break;
    case ActionCode::Stop:
        if (clip)
            clipSetPlaying(clip, false);
        break;
    case ActionCode::GotoFrame: {
        BitReader body(a.body);
        const int frame = body.u16();
        // GotoFrame past the end of the timeline is ignored.
        if (clip && frame < clipTotalFrames(clip))
            clipGotoNumber(m_rt, clip, frame, false);
        break;
    }
    case ActionCode::GotoLabel: {
        BitReader body(a.body);
        const std::string label = decodeString(body.string(), m_rt.version());
        if (clip)
            clipGotoLabel(m_rt, clip, label, false);
        break;
    }
    case ActionCode::GotoFrame2: {
        BitReader body(a.body);
        const std::uint8_t flags = body.u8();
        const int bias = (flags & 0x02) ? body.u16() : 0;
        const Value frame = frameOperand(pop(m_stack));
        if (!clip)
            break;
        clipGotoFrame(m_rt, clip, frame, (flags & 0x01) != 0, bias);
        break;
    }
    case ActionCode::WaitForFrame:
    case ActionCode::WaitForFrame2: {
        BitReader body(a.body);
        const bool loaded = code == ActionCode::WaitForFrame ? body.u16() <= kMaxFrameCount
                                                             : frameLoaded(m_rt, frameOperand(pop(m_stack)));
        const int skip = body.u8();
        if (!loaded) {
            for (int i = 0; i < skip; ++i) {
                auto next = readActionRecord(m_act.code, pc);
                if (!next)
                    break;
                pc = next->next;
            }
        }
        break;
    }
    default:
        break; // unknown actions are skipped
    }
}

} // namespace velmora::swf::avm1
