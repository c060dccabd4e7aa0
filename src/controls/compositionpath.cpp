#include "controls/compositionpath.h"

#include <QDir>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>

#include <algorithm>

#include <unistd.h>

namespace velmora::controls {
namespace {

constexpr const char *kOverrideVariable = "VELMORA_COMPOSITION";

bool hasUsableRenderNode()
{
    const QDir devices(QStringLiteral("/dev/dri"));
    const QStringList nodes = devices.entryList({QStringLiteral("renderD*")}, QDir::System);
    return std::any_of(nodes.begin(), nodes.end(), [&](const QString &node) {
        return ::access(devices.filePath(node).toLocal8Bit().constData(), R_OK | W_OK) == 0;
    });
}

CompositionFacts factsOfThisProcess()
{
    CompositionFacts facts;
    facts.forced = qgetenv(kOverrideVariable);
    facts.qtBackend = qgetenv("QT_QUICK_BACKEND");
    if (facts.qtBackend.isEmpty() && !qgetenv("QSG_RHI_BACKEND").isEmpty())
        facts.qtBackend = "rhi";
    const QByteArray gallium = qgetenv("GALLIUM_DRIVER");
    const QByteArray alwaysSoftware = qgetenv("LIBGL_ALWAYS_SOFTWARE");
    facts.softwareGlForced = (!alwaysSoftware.isEmpty() && alwaysSoftware != "0") || gallium == "llvmpipe" ||
                             gallium == "softpipe" || gallium == "swr";
    facts.hasRenderNode = hasUsableRenderNode();
    return facts;
}

std::optional<QByteArray> probeRenderer()
{
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !context.makeCurrent(&surface))
        return std::nullopt;
    const auto *name = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    std::optional<QByteArray> renderer;
    if (name)
        renderer = QByteArray(name);
    context.doneCurrent();
    return renderer;
}

} // namespace

bool isSoftwareRenderer(const QByteArray &glRenderer)
{
    const QByteArray name = glRenderer.toLower();
    for (const char *software : {"llvmpipe", "softpipe", "swrast", "software rasterizer", "swiftshader"}) {
        if (name.contains(software))
            return true;
    }
    return false;
}

Composition chooseComposition(const CompositionFacts &facts, const RendererProbe &probe)
{
    const QByteArray forced = facts.forced.trimmed().toLower();
    if (forced == "software")
        return Composition::Software;
    if (forced == "opengl")
        return Composition::OpenGl;
    if (!facts.qtBackend.isEmpty())
        return facts.qtBackend == "software" ? Composition::Software : Composition::OpenGl;
    // Without a graphics device OpenGL can only be drawn by the processor: no need to load it.
    if (facts.softwareGlForced || !facts.hasRenderNode)
        return Composition::Software;
    const std::optional<QByteArray> renderer = probe();
    return !renderer || isSoftwareRenderer(*renderer) ? Composition::Software : Composition::OpenGl;
}

Composition applyComposition()
{
    static const Composition chosen = [] {
        const CompositionFacts facts = factsOfThisProcess();
        const Composition composition = chooseComposition(facts, probeRenderer);
        if (facts.qtBackend.isEmpty()) {
            QQuickWindow::setGraphicsApi(composition == Composition::Software ? QSGRendererInterface::Software
                                                                              : QSGRendererInterface::OpenGL);
        }
        return composition;
    }();
    return chosen;
}

} // namespace velmora::controls
