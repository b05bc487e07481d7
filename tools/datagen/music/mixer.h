// The mix bus: every note placed in the track at its level, pan and effect sends; a
// ping-pong echo and a reverb for the underwater space; the music ducks under the kick
// and is widened, while the drums stay dry and centred. The result is unmastered.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "instruments.h"
#include "sound.h"

namespace datagen::music {

// onProgress receives the fraction done (0..1) now and then; it may be empty.
StereoBuffer mixNotes(const std::vector<Note>& notes, std::int64_t lengthSamples,
                      const std::function<void(float fraction)>& onProgress);

}  // namespace datagen::music
