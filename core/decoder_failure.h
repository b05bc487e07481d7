// Words for a decoder's failure. The decoders the show uses do not always say
// why they failed (stb_image gives no reason for some damaged data), so every
// message built from a decoder's reason goes through here.
#pragma once

#include <string>
#include <string_view>

// `reason` when the decoder gave one, else `whenNoReason`: never empty, never built from a null pointer.
std::string decoderFailure(const char* reason, std::string_view whenNoReason);
