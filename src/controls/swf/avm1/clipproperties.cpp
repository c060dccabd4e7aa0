// A clip's display properties as scripts read and set them (_x, _xscale, _alpha,
// _name, ...), over its placement in the parent.
#include "controls/swf/avm1/clipobject.h"

#include "controls/swf/avm1/bounds.h"
#include "controls/swf/avm1/stage.h"
#include "controls/swf/displaylist.h"

#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>

namespace velmora::swf::avm1 {

namespace {

constexpr double kTwips = 20.0;

constexpr const char *kQualityNames[] = {"LOW", "MEDIUM", "HIGH", "BEST"};

struct PropertyName {
    const char *name;
    ClipProperty property;
};
constexpr PropertyName kPropertyNames[] = {
    {"_x", ClipProperty::X},
    {"_y", ClipProperty::Y},
    {"_xscale", ClipProperty::XScale},
    {"_yscale", ClipProperty::YScale},
    {"_currentframe", ClipProperty::CurrentFrame},
    {"_totalframes", ClipProperty::TotalFrames},
    {"_alpha", ClipProperty::Alpha},
    {"_visible", ClipProperty::Visible},
    {"_width", ClipProperty::Width},
    {"_height", ClipProperty::Height},
    {"_rotation", ClipProperty::Rotation},
    {"_target", ClipProperty::Target},
    {"_framesloaded", ClipProperty::FramesLoaded},
    {"_name", ClipProperty::Name},
    {"_droptarget", ClipProperty::DropTarget},
    {"_url", ClipProperty::Url},
    {"_highquality", ClipProperty::HighQuality},
    {"_focusrect", ClipProperty::FocusRect},
    {"_soundbuftime", ClipProperty::SoundBufTime},
    {"_quality", ClipProperty::Quality},
    {"_xmouse", ClipProperty::XMouse},
    {"_ymouse", ClipProperty::YMouse},
};

double scaleX(const Matrix &m)
{
    return std::sqrt(m.a * m.a + m.b * m.b);
}

double scaleY(const Matrix &m)
{
    return std::sqrt(m.c * m.c + m.d * m.d);
}

double rotationOf(const Matrix &m)
{
    return std::atan2(m.b, m.a);
}

// The scales and rotation scripts see. Once a script sets one of them they are kept as
// set (a negative scale stays negative, a rotation outlives a zero scale) and the
// matrix is made from them; until then they are read from the matrix.
ClipObject::Transform transformOf(const ClipObject *clip, const Matrix &m)
{
    if (clip->transform)
        return *clip->transform;
    const double rotation = rotationOf(m);
    return {scaleX(m) * 100, scaleY(m) * 100, rotation * 180 / std::numbers::pi,
            std::atan2(-m.c, m.d) - rotation};
}

// Rebuilds the linear part from the scales and rotation, keeping the skew. A scale
// or rotation that is no number leaves the matrix as it was.
void applyTransform(Matrix &m, const ClipObject::Transform &t)
{
    if (!std::isfinite(t.xScale) || !std::isfinite(t.yScale) || !std::isfinite(t.rotation))
        return;
    const double sx = t.xScale / 100, sy = t.yScale / 100, rotation = t.rotation * std::numbers::pi / 180;
    m.a = sx * std::cos(rotation);
    m.b = sx * std::sin(rotation);
    m.c = -sy * std::sin(rotation + t.skew);
    m.d = sy * std::cos(rotation + t.skew);
}

// A property's new number; undefined, null and NaN leave the property as it was.
std::optional<double> numberArg(Runtime &rt, const Value &v)
{
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    const double n = rt.toNumber(v);
    if (std::isnan(n))
        return std::nullopt;
    return n;
}

// A position in whole twips: one past the 32-bit range, infinities included, is the
// lowest position there is, as the player's integer conversion gives it.
double positionTwips(double pixels)
{
    const double twips = std::round(pixels * kTwips);
    return twips >= -2147483648.0 && twips <= 2147483647.0 ? twips : -2147483648.0;
}

QPointF localMouse(Runtime &rt, ClipObject *clip)
{
    const QPointF stage = rt.stage ? rt.stage->mouse() : QPointF();
    const Matrix m = clipWorldMatrix(rt, clip);
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0)
        return {};
    const double x = stage.x() * kTwips - m.tx, y = stage.y() * kTwips - m.ty;
    return {(m.d * x - m.c * y) / det / kTwips, (-m.b * x + m.a * y) / det / kTwips};
}

} // namespace

std::optional<ClipProperty> clipPropertyByName(const std::string &name, bool)
{
    if (name.size() < 2 || name[0] != '_')
        return std::nullopt;
    const std::string folded = foldCase(name);
    for (const PropertyName &p : kPropertyNames) {
        if (folded == p.name)
            return p.property;
    }
    return std::nullopt;
}

Instance *placementOf(Runtime &rt, ClipObject *clip)
{
    if (clip->instance)
        return clip->instance;
    return clip == rt.root && rt.stage ? &rt.stage->rootPlacement : nullptr;
}

bool invert(const Matrix &m, Matrix &out)
{
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0)
        return false;
    out.a = m.d / det;
    out.b = -m.b / det;
    out.c = -m.c / det;
    out.d = m.a / det;
    out.tx = -(out.a * m.tx + out.c * m.ty);
    out.ty = -(out.b * m.tx + out.d * m.ty);
    return true;
}

Matrix clipWorldMatrix(Runtime &rt, ClipObject *clip)
{
    Matrix m;
    for (ClipObject *c = clip; c; c = c->parent) {
        if (const Instance *i = placementOf(rt, c))
            m = i->matrix * m;
    }
    return m;
}

Value getClipProperty(Runtime &rt, ClipObject *clip, ClipProperty p)
{
    Instance *i = placementOf(rt, clip);
    const Matrix m = i ? i->matrix : Matrix{};
    const PlayerSettings settings = rt.stage ? rt.stage->settings : PlayerSettings{};
    switch (p) {
    case ClipProperty::X:
        return m.tx / kTwips;
    case ClipProperty::Y:
        return m.ty / kTwips;
    case ClipProperty::XScale:
        return transformOf(clip, m).xScale;
    case ClipProperty::YScale:
        return transformOf(clip, m).yScale;
    case ClipProperty::Rotation:
        return transformOf(clip, m).rotation;
    case ClipProperty::CurrentFrame:
        return clipCurrentFrame(clip);
    case ClipProperty::TotalFrames:
    case ClipProperty::FramesLoaded:
        return clipTotalFrames(clip);
    case ClipProperty::Alpha:
        return i ? i->colorTransform.aMul * 100 : 100.0;
    case ClipProperty::Visible:
        return i ? i->visible : true;
    case ClipProperty::Width:
    case ClipProperty::Height: {
        const Rect r = clipBounds(clip, m);
        if (r.empty())
            return 0.0;
        return (p == ClipProperty::Width ? r.xMax - r.xMin : r.yMax - r.yMin) / kTwips;
    }
    case ClipProperty::Target:
        return clipSlashPath(clip);
    case ClipProperty::Name:
        return clip->name;
    case ClipProperty::DropTarget: {
        // While the drag lasts, what lies under the pointer; afterwards where it ended.
        if (rt.stage && rt.stage->dragged == clip) {
            ClipObject *target = rt.stage->dropTarget();
            return target ? clipSlashPath(target) : std::string();
        }
        return clip->dropTarget;
    }
    case ClipProperty::Url:
        return "file:///movie.swf";
    case ClipProperty::HighQuality:
        return settings.quality == Quality::Best ? 2 : settings.quality == Quality::Low ? 0 : 1;
    case ClipProperty::FocusRect:
        return rt.version() >= 6 ? Value(settings.focusRect) : Value(settings.focusRect ? 1 : 0);
    case ClipProperty::SoundBufTime:
        return settings.soundBufferTime;
    case ClipProperty::Quality:
        return kQualityNames[static_cast<int>(settings.quality)];
    case ClipProperty::XMouse:
        return std::round(localMouse(rt, clip).x());
    case ClipProperty::YMouse:
        return std::round(localMouse(rt, clip).y());
    case ClipProperty::Count:
        break;
    }
    return {};
}

namespace {

// _xscale, _yscale, _rotation, _width and _height: the scripts' transform changes and
// the matrix follows it. Infinite scales are kept as set; an infinite rotation is NaN.
void setTransform(ClipObject *clip, Matrix &m, ClipProperty p, double value)
{
    ClipObject::Transform t = transformOf(clip, m);
    switch (p) {
    case ClipProperty::XScale:
        t.xScale = value;
        break;
    case ClipProperty::YScale:
        t.yScale = value;
        break;
    case ClipProperty::Rotation: {
        double degrees = std::fmod(value, 360.0);
        if (degrees > 180)
            degrees -= 360;
        else if (degrees < -180)
            degrees += 360;
        t.rotation = degrees;
        break;
    }
    default: { // the width or the height, from the clip's own bounds
        if (!std::isfinite(value) || value < 0)
            return;
        const Rect r = clipBounds(clip, Matrix{});
        const double size = p == ClipProperty::Width ? r.xMax - r.xMin : r.yMax - r.yMin;
        if (r.empty() || size <= 0)
            return;
        (p == ClipProperty::Width ? t.xScale : t.yScale) = value * kTwips / size * 100;
        break;
    }
    }
    clip->transform = t;
    applyTransform(m, t);
}

// The player's own settings, the same through every clip: the quality (_quality by
// name, _highquality by number), _focusrect and _soundbuftime.
void setPlayerSetting(Runtime &rt, ClipProperty p, const Value &v, std::optional<double> n)
{
    if (!rt.stage)
        return;
    PlayerSettings &settings = rt.stage->settings;
    switch (p) {
    case ClipProperty::Quality: {
        const std::string name = foldCase(rt.toString(v));
        for (int q = 0; q < static_cast<int>(std::size(kQualityNames)); ++q) {
            if (name == foldCase(kQualityNames[q]))
                settings.quality = static_cast<Quality>(q);
        }
        break;
    }
    case ClipProperty::HighQuality:
        if (n)
            settings.quality = *n >= 2 ? Quality::Best : std::trunc(*n) == 0 ? Quality::Low : Quality::High;
        break;
    case ClipProperty::FocusRect:
        // An object counts as false, without asking its valueOf.
        if (v.isObject())
            settings.focusRect = false;
        else if (n)
            settings.focusRect = *n != 0;
        break;
    case ClipProperty::SoundBufTime:
        if (n) // whole seconds; past the 32-bit range the lowest there is
            settings.soundBufferTime = *n >= -2147483648.0 && *n <= 2147483647.0
                                           ? static_cast<int>(std::trunc(*n))
                                           : std::numeric_limits<int>::min();
        break;
    default:
        break;
    }
}

} // namespace

void setClipProperty(Runtime &rt, ClipObject *clip, ClipProperty p, const Value &v)
{
    Instance *i = placementOf(rt, clip);
    if (p == ClipProperty::Name) {
        clip->name = rt.toString(v);
        if (clip->instance)
            clip->instance->name = clip->name;
        // The root keeps its path: _level0 stays _level0 whatever its name.
        if (clip->parent)
            clip->path = clip->parent->path + "." + clip->name;
        return;
    }
    if (p == ClipProperty::FocusRect) {
        setPlayerSetting(rt, p, v, v.isObject() ? std::nullopt : numberArg(rt, v));
        return;
    }
    const std::optional<double> n = numberArg(rt, v);
    if (p == ClipProperty::Quality || p == ClipProperty::HighQuality || p == ClipProperty::SoundBufTime) {
        setPlayerSetting(rt, p, v, n);
        return;
    }
    if (!i)
        return;
    Matrix &m = i->matrix;
    switch (p) {
    case ClipProperty::X:
        if (n)
            m.tx = positionTwips(*n);
        break;
    case ClipProperty::Y:
        if (n)
            m.ty = positionTwips(*n);
        break;
    case ClipProperty::XScale:
    case ClipProperty::YScale:
    case ClipProperty::Rotation:
    case ClipProperty::Width:
    case ClipProperty::Height:
        if (n)
            setTransform(clip, m, p, *n);
        break;
    case ClipProperty::Alpha:
        if (n) // kept in 1/256 steps; an infinity is none
            i->colorTransform.aMul = std::isfinite(*n) ? std::trunc(*n * 2.56) / 256 : 0.0;
        break;
    case ClipProperty::Visible:
        if (n || v.isBool())
            i->visible = rt.toBoolean(v) || (n && *n != 0);
        break;
    default:
        return; // read-only
    }
    i->scriptTransformed = true;
}

} // namespace velmora::swf::avm1
