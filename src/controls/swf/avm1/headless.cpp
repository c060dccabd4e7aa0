#include "controls/swf/avm1/headless.h"

#include "controls/swf/player.h"

namespace velmora::swf::avm1 {

std::string runHeadless(std::shared_ptr<const Movie> movie, int frames, const InputBatches &input)
{
    std::string text;
    ScriptHost host;
    host.trace = [&text, cut = false](const std::string &line) mutable {
        if (cut)
            return;
        if (text.size() + line.size() + 1 > kMaxTraceBytes) {
            text += kTraceCutMarker;
            text += '\n';
            cut = true;
            return;
        }
        for (char c : line) {
            if (c == '\r')
                text += '\n';
            else if (c != '\0')
                text += c;
        }
        text += '\n';
    };
    Player player(std::move(movie), host);
    for (int frame = 1; frame <= frames; ++frame) {
        if (frame > 1)
            player.stepFrame();
        if (player.quitRequested())
            break;
        if (static_cast<std::size_t>(frame) <= input.size())
            applyInput(player, input[static_cast<std::size_t>(frame - 1)]);
    }
    return text;
}

} // namespace velmora::swf::avm1
