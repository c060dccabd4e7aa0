// What a playing movie tells its sound side: the sounds its frames and buttons start,
// and the timelines whose stream sound plays on or must stop. The display lists
// report here; they know nothing of decoding or mixing.
#pragma once

#include "controls/swf/sound/sound.h"

namespace velmora::swf {

class SoundEvents {
public:
    virtual ~SoundEvents() = default;
    virtual void startSound(const StartSound &sound) = 0;
    // The timeline `owner` entered a frame holding `block` of its stream while playing.
    virtual void streamFrame(const void *owner, const StreamSound &stream, std::size_t block) = 0;
    // The timeline `owner` stopped or went away: its stream sound ends.
    virtual void streamStop(const void *owner) = 0;
    // stopAllSounds(): every sound of the movie ends, event and stream alike.
    virtual void stopAll() = 0;
};

} // namespace velmora::swf
