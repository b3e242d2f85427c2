// A quick look at an Ogg Vorbis file's format and length.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace plat {

// The header of a plain Ogg Vorbis file (one stream, ending on a page marked as its end), read
// from its first and last pages; empty for any other file, which the decoder then opens.
std::optional<SoundHeader> ProbeOggVorbis(const std::string& path);

}  // namespace plat
