// Reads the bodies of the sound tags. Each throws TruncatedData (or BadSound) when the
// body is cut short or holds what no player could play; the caller skips that tag.
#pragma once

#include "controls/swf/bitreader.h"
#include "controls/swf/movie.h"
#include "controls/swf/sound/sound.h"
#include "controls/swf/swfcodes.h"

#include <stdexcept>

namespace velmora::swf {

struct BadSound : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The id comes first in the body; returned beside the definition.
std::pair<std::uint16_t, SoundDefinition> readDefineSound(BitReader &in);
SoundInfo readSoundInfo(BitReader &in);
StartSound readStartSound(BitReader &in);
StartSound readStartSound2(BitReader &in);
// ExportAssets and SymbolClass: the names a movie gives its characters and sounds.
void readExportedNames(BitReader &in, std::map<std::string, std::uint16_t> &names);
std::pair<std::uint16_t, ButtonSounds> readButtonSound(BitReader &in);
StreamHead readStreamHead(BitReader &in);

// Reads a sound tag of `timeline` into the movie: definitions, button sounds and the
// exported names sounds are started by from the root, starts and stream tags from any
// timeline (`frame` is the one being read, the timeline's frames so far are those
// before it). False for tags of other kinds.
bool readSoundTag(TagCode code, BitReader &in, Movie &movie, Timeline &timeline, Frame &frame, bool root);

} // namespace velmora::swf
