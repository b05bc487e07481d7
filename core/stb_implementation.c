/* The one translation unit that holds the stb decoders' code: PNG pictures and
 * Ogg Vorbis music. Compiled without the project's warnings, as it is not ours.
 * The Vorbis decoder's heap goes through the music's own accounting. */
#include <stdlib.h>

#include "music/vorbis_memory.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#define malloc(size) allocateVorbisBlock(size)
#define free(pointer) freeVorbisBlock(pointer)
#include <stb/stb_vorbis.h>

/* stb_image keeps the last failure's reason per thread and never clears it:
 * a failure it gives no reason for would otherwise show an earlier file's. */
void forgetStbImageFailure(void)
{
    stbi__g_failure_reason = NULL;
}
