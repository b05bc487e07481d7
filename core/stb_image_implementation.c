/* The one translation unit that holds stb's PNG decoder. Compiled without the
 * project's warnings, as it is not ours. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

/* stb_image keeps the last failure's reason per thread and never clears it:
 * a failure it gives no reason for would otherwise show an earlier file's. */
void forgetStbImageFailure(void)
{
    stbi__g_failure_reason = NULL;
}
