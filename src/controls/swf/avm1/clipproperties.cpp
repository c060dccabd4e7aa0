// A clip's display properties as scripts read and set them (_x, _xscale, _alpha,
// _name, ...), over its placement in the parent.
#include "controls/swf/avm1/clipobject.h"

#include "controls/swf/avm1/bounds.h"
#include "controls/swf/avm1/stage.h"
#include "controls/swf/displaylist.h"

#include <cmath>
#include <numbers>

namespace velmora::swf::avm1 {

namespace {

constexpr double kTwips = 20.0;

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

// Rebuilds the linear part from scales and rotation, keeping the skew Flash keeps.
void setLinear(Matrix &m, double sx, double sy, double rotation)
{
    const double skew = std::atan2(-m.c, m.d) - rotationOf(m);
    m.a = sx * std::cos(rotation);
    m.b = sx * std::sin(rotation);
    m.c = -sy * std::sin(rotation + skew);
    m.d = sy * std::cos(rotation + skew);
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
    switch (p) {
    case ClipProperty::X:
        return m.tx / kTwips;
    case ClipProperty::Y:
        return m.ty / kTwips;
    case ClipProperty::XScale:
        return scaleX(m) * 100;
    case ClipProperty::YScale:
        return scaleY(m) * 100;
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
    case ClipProperty::Rotation:
        return rotationOf(m) * 180 / std::numbers::pi;
    case ClipProperty::Target:
        return clipSlashPath(clip);
    case ClipProperty::Name:
        return clip->parent ? Value(clip->name) : Value("");
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
        return 1;
    case ClipProperty::FocusRect:
        return rt.version() >= 6 ? Value(true) : Value(1);
    case ClipProperty::SoundBufTime:
        return 5;
    case ClipProperty::Quality:
        return "HIGH";
    case ClipProperty::XMouse:
        return std::round(localMouse(rt, clip).x());
    case ClipProperty::YMouse:
        return std::round(localMouse(rt, clip).y());
    case ClipProperty::Count:
        break;
    }
    return {};
}

void setClipProperty(Runtime &rt, ClipObject *clip, ClipProperty p, const Value &v)
{
    Instance *i = placementOf(rt, clip);
    if (p == ClipProperty::Name) {
        clip->name = rt.toString(v);
        if (clip->instance)
            clip->instance->name = clip->name;
        clip->path = clip->parent ? clip->parent->path + "." + clip->name : clip->name;
        return;
    }
    if (!i)
        return;
    const std::optional<double> n = numberArg(rt, v);
    // The position, the alpha and the visibility take the infinities; the others ignore them.
    const bool finite = n && std::isfinite(*n);
    const double value = finite ? *n : 0.0;
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
        if (finite)
            setLinear(m, value / 100, scaleY(m), rotationOf(m));
        break;
    case ClipProperty::YScale:
        if (finite)
            setLinear(m, scaleX(m), value / 100, rotationOf(m));
        break;
    case ClipProperty::Rotation:
        if (finite) {
            double degrees = std::fmod(value, 360.0);
            if (degrees > 180)
                degrees -= 360;
            else if (degrees < -180)
                degrees += 360;
            setLinear(m, scaleX(m), scaleY(m), degrees * std::numbers::pi / 180);
        }
        break;
    case ClipProperty::Alpha:
        if (n) // kept in 1/256 steps; an infinity is none
            i->colorTransform.aMul = finite ? std::trunc(value * 2.56) / 256 : 0.0;
        break;
    case ClipProperty::Visible:
        if (n || v.isBool())
            i->visible = rt.toBoolean(v) || (n && *n != 0);
        break;
    case ClipProperty::Width:
    case ClipProperty::Height: {
        if (!finite || value < 0)
            break;
        const Rect r = clipBounds(clip, Matrix{});
        const double size = p == ClipProperty::Width ? r.xMax - r.xMin : r.yMax - r.yMin;
        if (r.empty() || size <= 0)
            break;
        const double factor = value * kTwips / size;
        if (p == ClipProperty::Width)
            setLinear(m, factor, scaleY(m), rotationOf(m));
        else
            setLinear(m, scaleX(m), factor, rotationOf(m));
        break;
    }
    default:
        return; // read-only
    }
    i->scriptTransformed = true;
}

} // namespace velmora::swf::avm1
