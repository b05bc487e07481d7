/* The one translation unit that holds stb's PNG writer, for the Windows capture
 * tool. Compiled without the project's warnings, as it is not ours. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
