/* The one translation unit that holds stb's Ogg Vorbis decoder. Compiled
 * without the project's warnings, as it is not ours. Its heap goes through the
 * music's own accounting, so a decoder's memory is bounded and freed with it. */
#include <stdlib.h>

#include "music/vorbis_memory.h"

#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#define malloc(size) allocateVorbisBlock(size)
#define free(pointer) freeVorbisBlock(pointer)
#include <stb/stb_vorbis.h>
