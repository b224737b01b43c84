// Growable memory blocks: heap blocks held by the address of their payload,
// with a header in front that records the total size and a move callback.
#include <stdlib.h>

#include "fslib.h"

GbOomFn gb_oom_hook = nullptr;
GbContext gb_default_context;

static const int32_t gb_header_size = static_cast<int32_t>(sizeof(GbHeader));

GbHeader *gb_header(void *payload)
{
    if (!payload)
        return nullptr;
    return reinterpret_cast<GbHeader *>(static_cast<char *>(payload) - gb_header_size);
}

static void *gb_payload(GbHeader *header)
{
    return reinterpret_cast<char *>(header) + gb_header_size;
}

// A payload so large that header and payload together do not fit the 32-bit
// total is memory that cannot be had.
static bool gb_too_large(int32_t size)
{
    return size > INT32_MAX - gb_header_size;
}

ErrorRecord *gb_create(void **block, int32_t size, GbContext *)
{
    if (size < 0)
        return err_code(ERR_NEGSIZE);
    if (gb_too_large(size))
        return err_code(ERR_NOMEM);
    size_t bytes = static_cast<size_t>(size) + gb_header_size;
    GbHeader *header = static_cast<GbHeader *>(calloc(1, bytes));
    if (!header)
        return err_code(ERR_NOMEM);
    header->total_size = size + gb_header_size;
    header->on_move = nullptr;
    header->on_move_data = nullptr;
    *block = gb_payload(header);
    return nullptr;
}

ErrorRecord *gb_alloc_ctx(void **block, int32_t size, GbContext *ctx)
{
    for (;;) {
        ErrorRecord *r = gb_create(block, size, ctx);
        if (!r || !gb_oom_hook)
            return r;
        r = gb_oom_hook(0);
        if (r)
            return r;
    }
}

ErrorRecord *gb_destroy(void **block, GbContext *)
{
    if (*block) {
        free(gb_header(*block));
        *block = nullptr;
    }
    return nullptr;
}

ErrorRecord *gb_resize(void **block, int32_t size, GbContext *ctx)
{
    if (size < 0)
        return err_code(ERR_NEGSIZE);
    if (!*block)
        return gb_create(block, size, ctx);
    if (gb_too_large(size))
        return err_code(ERR_NOMEM);
    GbHeader *old_header = gb_header(*block);
    uintptr_t old_address = reinterpret_cast<uintptr_t>(old_header);
    GbHeader *header =
        static_cast<GbHeader *>(realloc(old_header, static_cast<size_t>(size) + gb_header_size));
    if (!header)
        return err_code(ERR_NOMEM);
    header->total_size = size + gb_header_size;
    *block = gb_payload(header);
    uintptr_t new_address = reinterpret_cast<uintptr_t>(header);
    if (new_address != old_address && header->on_move)
        header->on_move(header->on_move_data, static_cast<intptr_t>(new_address - old_address));
    return nullptr;
}

ErrorRecord *gb_reserve_ctx(void **block, int32_t need, int32_t step, GbContext *ctx)
{
    // A step of 0 or less has no multiple to size by.
    if (step <= 0)
        return err_code(ERR_NEGSIZE);
    if (!*block)
        return gb_create(block, need > step ? need : step, ctx);
    int32_t cap = 0;
    gb_size(block, &cap);
    int64_t wide_need = need;
    if (wide_need < cap && cap <= wide_need + step)
        return nullptr;
    int64_t size = static_cast<int64_t>(step) * (need / step + 1);
    if (size > INT32_MAX)
        return err_code(ERR_NOMEM);
    return gb_resize(block, static_cast<int32_t>(size), ctx);
}

ErrorRecord *gb_size(void **block, int32_t *size)
{
    *size = *block ? gb_header(*block)->total_size - gb_header_size : 0;
    return nullptr;
}

ErrorRecord *gb_alloc(void **block, int32_t size)
{
    return gb_alloc_ctx(block, size, &gb_default_context);
}

ErrorRecord *gb_free(void **block)
{
    return gb_destroy(block, &gb_default_context);
}

ErrorRecord *gb_reserve(void **block, int32_t need, int32_t step)
{
    return gb_reserve_ctx(block, need, step, &gb_default_context);
}

ErrorRecord *gb_free_pair(void **a, void **b)
{
    gb_free(a);
    gb_free(b);
    return nullptr;
}
