// The choice of composition path: the user's override first, Qt's own setting next, then
// the machine: OpenGL only where a graphics device draws it.
#include "controls/compositionpath.h"

#include <gtest/gtest.h>

namespace velmora::controls {
namespace {

TEST(CompositionPath, OverridesThenQtThenTheMachineDecide)
{
    struct Row {
        const char *name;
        CompositionFacts facts;
        std::optional<QByteArray> renderer;
        Composition expected;
        bool probed;
    };
    const QByteArray amd = "AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)";
    const QByteArray mesa = "llvmpipe (LLVM 15.0.6, 256 bits)";
    const Row rows[] = {
        {"forced software on a graphics card",
         {"software", {}, false, true},
         amd,
         Composition::Software,
         false},
        {"forced OpenGL without a device", {" OpenGL ", {}, false, false}, mesa, Composition::OpenGl, false},
        {"unknown override is ignored", {"vulkan", {}, false, true}, amd, Composition::OpenGl, true},
        {"Qt told software", {{}, "software", false, true}, amd, Composition::Software, false},
        {"Qt told an RHI backend", {{}, "rhi", false, false}, mesa, Composition::OpenGl, false},
        {"no graphics device", {{}, {}, false, false}, amd, Composition::Software, false},
        {"Mesa told to draw in software", {{}, {}, true, true}, amd, Composition::Software, false},
        {"graphics card", {{}, {}, false, true}, amd, Composition::OpenGl, true},
        {"device present, llvmpipe draws", {{}, {}, false, true}, mesa, Composition::Software, true},
        {"device present, no OpenGL", {{}, {}, false, true}, std::nullopt, Composition::Software, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        bool probed = false;
        const Composition chosen = chooseComposition(row.facts, [&] {
            probed = true;
            return row.renderer;
        });
        EXPECT_EQ(chosen, row.expected);
        EXPECT_EQ(probed, row.probed);
    }
}

TEST(CompositionPath, SoftwareRenderersAreKnownByName)
{
    for (const char *name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer", "swrast",
                             "Google SwiftShader"})
        EXPECT_TRUE(isSoftwareRenderer(name)) << name;
    for (const char *name : {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA GeForce GTX 1080/PCIe/SSE2"})
        EXPECT_FALSE(isSoftwareRenderer(name)) << name;
}

} // namespace
} // namespace velmora::controls
