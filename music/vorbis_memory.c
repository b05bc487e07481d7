#include "music/vorbis_memory.h"

#include <stdlib.h>

/* Blocks keep the alignment malloc gives: the header is rounded up to it. */
#define HEADER_BYTES ((sizeof(struct VorbisBlock) + 15) & ~(size_t)15)

static _Thread_local struct VorbisMemory* currentMemory;

void initVorbisMemory(struct VorbisMemory* memory, size_t byteLimit)
{
    memory->blocks.previous = memory->blocks.next = &memory->blocks;
    memory->blocks.owner = memory;
    memory->blocks.size = 0;
    memory->bytesInUse = 0;
    memory->byteLimit = byteLimit;
}

void useVorbisMemory(struct VorbisMemory* memory)
{
    currentMemory = memory;
}

void* allocateVorbisBlock(size_t size)
{
    struct VorbisMemory* memory = currentMemory;
    if (!memory || size > memory->byteLimit - memory->bytesInUse) {
        return NULL;
    }
    struct VorbisBlock* block = malloc(HEADER_BYTES + size);
    if (!block) {
        return NULL;
    }
    block->owner = memory;
    block->size = size;
    block->previous = &memory->blocks;
    block->next = memory->blocks.next;
    memory->blocks.next->previous = block;
    memory->blocks.next = block;
    memory->bytesInUse += size;
    return (char*)block + HEADER_BYTES;
}

void freeVorbisBlock(void* pointer)
{
    if (!pointer) {
        return;
    }
    struct VorbisBlock* block = (struct VorbisBlock*)((char*)pointer - HEADER_BYTES);
    block->previous->next = block->next;
    block->next->previous = block->previous;
    block->owner->bytesInUse -= block->size;
    free(block);
}

void releaseVorbisMemory(struct VorbisMemory* memory)
{
    while (memory->blocks.next != &memory->blocks) {
        freeVorbisBlock((char*)memory->blocks.next + HEADER_BYTES);
    }
}
