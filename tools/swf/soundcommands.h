// The sound commands of velmora-swf:
//   sounds FILE [--decode DIR]    the sound tags; with --decode every sound as DIR/sound_<id>.wav
//                                 (and each stream as DIR/stream_<root|sprite id>.wav), whole
//   audio FILE OUT.wav [--frames N] [--input events.json]
//                                 what the movie plays over N frames, 44.1 kHz 16-bit stereo
#pragma once

#include "controls/swf/inputevents.h"
#include "controls/swf/movie.h"

#include <memory>

namespace velmora::swftool {

// Reads an events file (--input) into `input`; says why on stderr when it cannot.
bool readInput(const char *path, swf::InputBatches &input);

int soundsCommand(const swf::Movie &movie, int argc, char **argv);
int audioCommand(std::shared_ptr<const swf::Movie> movie, int argc, char **argv);

} // namespace velmora::swftool
