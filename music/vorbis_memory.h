/* The memory of one Vorbis decoder. Every block stb_vorbis allocates is listed
 * with the decoder it was made for, so blocks it forgets on an error path are
 * freed with the decoder, and the decoder's total stays under a limit that no
 * header value can raise. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct VorbisBlock {
    struct VorbisBlock* previous;
    struct VorbisBlock* next;
    struct VorbisMemory* owner;
    size_t size;
};

struct VorbisMemory {
    struct VorbisBlock blocks; /* the list's anchor; holds no memory itself */
    size_t bytesInUse;
    size_t byteLimit;
};

void initVorbisMemory(struct VorbisMemory* memory, size_t byteLimit);
/* The decoder's allocations on this thread go to `memory` until the next call. */
void useVorbisMemory(struct VorbisMemory* memory);
/* Frees every block still listed. */
void releaseVorbisMemory(struct VorbisMemory* memory);

void* allocateVorbisBlock(size_t size);
void freeVorbisBlock(void* pointer);

#ifdef __cplusplus
}
#endif
