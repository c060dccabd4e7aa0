// How the main window reaches the screen. The browser view draws through Qt Quick; on the
// OpenGL path Qt composes the whole window through OpenGL whenever any part of it
// repaints, which costs little on a graphics card but much processor time where OpenGL
// itself is drawn by the processor (Mesa's llvmpipe, softpipe, swrast). There the software
// path is cheaper: the page arrives as an image and only what changed goes to the screen.
//
// VELMORA_COMPOSITION=software or =opengl forces a path; QT_QUICK_BACKEND or
// QSG_RHI_BACKEND, when given, leave the choice to Qt.
#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

namespace velmora::controls {

enum class Composition { Software, OpenGl };

// What the choice rests on, gathered from the environment and the machine.
struct CompositionFacts {
    QByteArray forced;             // VELMORA_COMPOSITION
    QByteArray qtBackend;          // QT_QUICK_BACKEND, or "rhi" when only QSG_RHI_BACKEND is set
    bool softwareGlForced = false; // LIBGL_ALWAYS_SOFTWARE, or GALLIUM_DRIVER naming a software one
    bool hasRenderNode = false;    // a graphics device (/dev/dri/renderD*) this user may open
};

// The OpenGL renderer's name ("llvmpipe (LLVM 15.0.6, 256 bits)"), or nothing without OpenGL.
using RendererProbe = std::function<std::optional<QByteArray>()>;

// The path for `facts`. The probe, which loads the OpenGL driver, is asked only when the
// facts leave the question open.
Composition chooseComposition(const CompositionFacts &facts, const RendererProbe &probe);

// Whether an OpenGL renderer of that name draws with the processor.
bool isSoftwareRenderer(const QByteArray &glRenderer);

// Chooses the path for this process and tells Qt Quick. Runs after the QApplication is made
// and before the first browser view; later calls return the first choice.
Composition applyComposition();

} // namespace velmora::controls
