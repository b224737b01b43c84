// The scanning code of the line-ending passes, included by each build of
// them for an instruction set (lineends.cpp, x86/lineends_avx2.cpp):
// everything here is inlined into the entry points of the file that
// includes it, and compiled for that file's target.
//
// Both passes look for line breaks sixteen bytes at a time and treat the
// runs between them as blocks. The rewrite goes from the end of the image
// to its start: every output position is at or after the position of the
// bytes it comes from, so the bytes can be moved up and rewritten in one
// pass, and the writer never overtakes what is still to be read. The
// copying conversion goes forwards into another buffer instead, and so
// needs no count first.
//
// With LINEENDS_WIDE defined (the file built for AVX2) a block's marks, the
// check for blocks of CR LF pairs and the copying conversion take 32 bytes
// at a time.
#ifndef DRAVICK_LINEENDS_KERNEL_H
#define DRAVICK_LINEENDS_KERNEL_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "lineends_variants.h"

#define KERNEL static inline __attribute__((always_inline))

static const unsigned char CR = 13;
static const unsigned char LF = 10;

KERNEL bool is_break(unsigned char c) { return c == CR || c == LF; }

// Sixteen bytes compared at once; the compiler maps this onto the target's
// vector instructions where it has them.
typedef unsigned char Chunk __attribute__((vector_size(16)));
enum { kChunk = 16 };

// The sixteen lanes of a compare's result (0xFF where it held, 0 elsewhere)
// as two words: lanes 0..7 in `low`, 8..15 in `high`.
KERNEL void mark_words(Chunk marks, uint64_t *low, uint64_t *high)
{
    memcpy(low, &marks, 8);
    memcpy(high, reinterpret_cast<const unsigned char *>(&marks) + 8, 8);
}

// The marks of the sixteen bytes at p that are CR or LF.
KERNEL void break_marks(const unsigned char *p, uint64_t *low, uint64_t *high)
{
    Chunk bytes;
    memcpy(&bytes, p, sizeof bytes);
    mark_words((Chunk)((bytes == LF) | (bytes == CR)), low, high);
}

KERNEL bool little_endian(void)
{
    const uint16_t probe = 1;
    unsigned char first;
    memcpy(&first, &probe, 1);
    return first == 1;
}

// The index in memory order of the first and of the last byte marked in a
// nonzero word of marks.
KERNEL int first_marked(uint64_t marks)
{
    return little_endian() ? __builtin_ctzll(marks) >> 3 : __builtin_clzll(marks) >> 3;
}

KERNEL int last_marked(uint64_t marks)
{
    return little_endian() ? 7 - (__builtin_clzll(marks) >> 3) : 7 - (__builtin_ctzll(marks) >> 3);
}

// The first CR or LF in [p, end), or end.
KERNEL const unsigned char *find_break(const unsigned char *p, const unsigned char *end)
{
    while (end - p >= kChunk) {
        uint64_t low, high;
        break_marks(p, &low, &high);
        if (low != 0)
            return p + first_marked(low);
        if (high != 0)
            return p + 8 + first_marked(high);
        p += kChunk;
    }
    while (p < end && !is_break(*p))
        p++;
    return p;
}

// One past the last CR or LF in [start, p), or start.
KERNEL unsigned char *find_break_back(unsigned char *start, unsigned char *p)
{
    while (p - start >= kChunk) {
        uint64_t low, high;
        break_marks(p - kChunk, &low, &high);
        if (high != 0)
            return p - 8 + last_marked(high) + 1;
        if (low != 0)
            return p - kChunk + last_marked(low) + 1;
        p -= kChunk;
    }
    while (p > start && !is_break(p[-1]))
        p--;
    return p;
}

// The sum of the sixteen lanes.
KERNEL int64_t lane_sum(Chunk lanes)
{
    unsigned char bytes[kChunk];
    memcpy(bytes, &lanes, sizeof bytes);
    int64_t sum = 0;
    for (unsigned char b : bytes)
        sum += b;
    return sum;
}

// Skips the chunks from p on that hold no CR and are not followed by one:
// every LF in them is a lone LF, which grows by one. Such text, the usual
// kind, is counted without looking at single line breaks.
KERNEL const unsigned char *skip_lone_lf_chunks(const unsigned char *p, const unsigned char *end,
                                                int64_t *growth)
{
    Chunk counts = {};
    int pending = 0;
    while (end - p > kChunk && p[kChunk] != CR) {
        Chunk bytes;
        memcpy(&bytes, p, sizeof bytes);
        uint64_t low, high;
        mark_words((Chunk)(bytes == CR), &low, &high);
        if ((low | high) != 0)
            break;
        counts -= (Chunk)(bytes == LF);  // a match is all ones: minus one adds one
        p += kChunk;
        if (++pending == 255) {
            *growth += lane_sum(counts);
            counts = Chunk{};
            pending = 0;
        }
    }
    *growth += lane_sum(counts);
    return p;
}

// A CR LF or LF CR pair starts at p: p[0] is a break and p[1] the other one.
KERNEL bool pair_at(const unsigned char *p) { return (p[0] ^ p[1]) == (CR ^ LF); }

// The bits of a 16-byte compare's result, byte i to bit i (little-endian
// targets only, see mask_growth).
KERNEL uint64_t chunk_bits(Chunk marks)
{
#if defined(__SSE2__)
    typedef char Signed __attribute__((vector_size(16)));
    return static_cast<uint16_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<Signed>(marks)));
#else
    uint64_t low, high;
    mark_words(marks, &low, &high);
    const uint64_t top = 0x8080808080808080ull, gather = 0x0002040810204081ull;
    return ((low & top) * gather >> 56) | ((high & top) * gather >> 56) << 8;
#endif
}

// The widest step the target takes at once: 32 bytes with AVX2, else a
// chunk.
#if defined(LINEENDS_WIDE)
typedef unsigned char Stride __attribute__((vector_size(32)));
enum { kStride = 32 };

KERNEL uint32_t stride_bits(Stride marks)
{
    typedef char Signed __attribute__((vector_size(32)));
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb256(reinterpret_cast<Signed>(marks)));
}
#else
typedef Chunk Stride;
enum { kStride = kChunk };
#endif

// The index of the first marked byte of a compare's result, or kStride.
KERNEL int first_in_stride(Stride marks)
{
#if defined(LINEENDS_WIDE)
    uint32_t bits = stride_bits(marks);
    return bits != 0 ? __builtin_ctz(bits) : kStride;
#elif defined(__SSE2__)
    uint64_t bits = chunk_bits(marks);
    return bits != 0 ? __builtin_ctzll(bits) : kStride;
#else
    uint64_t low, high;
    mark_words(marks, &low, &high);
    if (low != 0)
        return first_marked(low);
    return high != 0 ? 8 + first_marked(high) : kStride;
#endif
}

KERNEL bool any_in_stride(Stride marks)
{
#if defined(LINEENDS_WIDE)
    return stride_bits(marks) != 0;
#elif defined(__SSE2__)
    return chunk_bits(marks) != 0;
#else
    uint64_t low, high;
    mark_words(marks, &low, &high);
    return (low | high) != 0;
#endif
}

// Bit i set where byte i of the 64 at p is LF, and where it is CR.
#if defined(LINEENDS_WIDE)
KERNEL void block_bits(const unsigned char *p, uint64_t *lf, uint64_t *cr)
{
    Stride low, high;
    memcpy(&low, p, sizeof low);
    memcpy(&high, p + kStride, sizeof high);
    *lf = stride_bits((Stride)(low == LF)) | static_cast<uint64_t>(stride_bits((Stride)(high == LF))) << 32;
    *cr = stride_bits((Stride)(low == CR)) | static_cast<uint64_t>(stride_bits((Stride)(high == CR))) << 32;
}
#else
KERNEL void block_bits(const unsigned char *p, uint64_t *lf, uint64_t *cr)
{
    *lf = *cr = 0;
    for (int i = 0; i < 4; i++) {
        Chunk bytes;
        memcpy(&bytes, p + i * kChunk, sizeof bytes);
        *lf |= chunk_bits((Chunk)(bytes == LF)) << (i * kChunk);
        *cr |= chunk_bits((Chunk)(bytes == CR)) << (i * kChunk);
    }
}
#endif

// Whether the 64 bytes at p hold CR LF pairs and other bytes only, as far
// as they can tell: every LF follows a CR (p[-1] is read too) and every CR
// but the last is followed by an LF.
KERNEL bool pairs_only_block(const unsigned char *p)
{
    Stride odd = {};
    for (int i = 0; i < 64; i += kStride) {
        Stride here, before;
        memcpy(&here, p + i, sizeof here);
        memcpy(&before, p + i - 1, sizeof before);
        odd |= (Stride)(here == LF) ^ (Stride)(before == CR);
    }
    return !any_in_stride(odd);
}

// The number of bits set: the instruction where the target has one, else
// without the library call the builtin would make.
KERNEL int bits_set(uint64_t x)
{
#if defined(__POPCNT__)
    return __builtin_popcountll(x);
#else
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((x * 0x0101010101010101ull) >> 56);
#endif
}

// What one block of 64 bytes hands to the next.
struct BlockCarry {
    uint64_t lf, cr;  // bit 0: the previous block's last byte was LF, CR
    uint64_t odd;     // 1: that byte continued a run of alternating breaks
                      // for the odd-numbered time
};

// The growth of lone LFs in one block whose next byte is `next`. In a run
// of alternating line breaks the pairs are taken from its start, so a run
// leaves a lone LF exactly when it ends with LF and is of odd length. Every
// LF not followed by CR ends a run; of those, the runs of even length are
// taken back off: the ones whose continuations (each break after the
// first) are odd in number, which the carry of an addition finds for all
// runs at once, as for runs of escape characters in a string.
KERNEL int64_t block_growth(uint64_t lf, uint64_t cr, unsigned char next, BlockCarry *carry)
{
    const uint64_t even_bits = 0x5555555555555555ull;
    uint64_t cr_next = (cr >> 1) | (static_cast<uint64_t>(next == CR) << 63);
    if ((cr | carry->cr | carry->odd) == 0) {
        // No CR, so no runs: every LF is a lone one. Most text is like this.
        carry->lf = lf >> 63;
        return bits_set(lf & ~cr_next);
    }
    if (lf == ((cr << 1) | carry->cr) && carry->odd == carry->lf) {
        // Only CR LF pairs, the first of them not taken by the run before:
        // nothing grows. Kept in step with the general case below: a last
        // LF is counted here and taken back with the next block.
        int64_t growth = static_cast<int64_t>((lf >> 63) & (next != CR)) - static_cast<int64_t>(carry->lf & ~cr & 1);
        carry->lf = carry->odd = lf >> 63;
        carry->cr = cr >> 63;
        return growth;
    }
    uint64_t lf_before = (lf << 1) | carry->lf;
    uint64_t cr_before = (cr << 1) | carry->cr;
    uint64_t d = (lf & cr_before) | (cr & lf_before);  // continues a run
    uint64_t starts = d & ~(d << 1);
    uint64_t even_start_mask = even_bits ^ carry->odd;
    uint64_t even_starts = starts & even_start_mask;
    uint64_t odd_starts = starts & ~even_start_mask;
    uint64_t even_carries = d + even_starts;
    uint64_t odd_carries = d + odd_starts;
    bool odd_past_end = odd_carries < d;
    odd_carries |= carry->odd;
    // The bit after each odd number of continuations.
    uint64_t odd_ends = (even_carries & ~d & ~even_bits) | (odd_carries & ~d & even_bits);
    // A bit 0 there ends a run at the previous block's last byte. The LFs
    // that end runs of even length are among those not followed by CR.
    int64_t growth = bits_set(lf & ~cr_next & ~(odd_ends >> 1)) - static_cast<int64_t>(odd_ends & carry->lf & 1);
    carry->lf = lf >> 63;
    carry->cr = cr >> 63;
    carry->odd = odd_past_end ? 1 : 0;
    return growth;
}

// The growth of lone LFs in [data, data + size), 64 bytes at a time; the
// last block is read from a copy padded with bytes that are not breaks,
// and is read even when empty: a run that reaches the end of the one before
// is taken back there.
// Text already converted is mostly CR LF pairs: such blocks, after a block
// that held pairs only, are passed without their marks, and hand on what
// the block steps would (see block_growth's second case). Returns the first
// block that is not such a block, the first at p being one.
KERNEL const unsigned char *skip_pair_blocks(const unsigned char *p, const unsigned char *end,
                                            BlockCarry *carry, int64_t *growth)
{
    const unsigned char *q = p + 64;
    while (end - q >= 64 && pairs_only_block(q))
        q += 64;
    unsigned char last = q[-1];
    unsigned char next = q < end ? *q : 0;
    // A last LF is counted and taken back with the next block, as there.
    *growth += static_cast<int64_t>(last == LF && next != CR) - static_cast<int64_t>(carry->lf && *p != CR);
    carry->lf = carry->odd = last == LF;
    carry->cr = last == CR;
    return q;
}

KERNEL int64_t mask_growth(const unsigned char *data, size_t size)
{
    BlockCarry carry = {0, 0, 0};
    int64_t growth = 0;
    const unsigned char *p = data;
    const unsigned char *end = data + size;
    uint64_t lf, cr;
    bool pairs_before = false;  // the block before held CR LF pairs only
    while (end - p >= 64) {
        if (pairs_before && pairs_only_block(p))
            p = skip_pair_blocks(p, end, &carry, &growth);
        if (end - p < 64)
            break;
        block_bits(p, &lf, &cr);
        pairs_before = cr != 0 && lf == ((cr << 1) | carry.cr) && carry.odd == carry.lf;
        growth += block_growth(lf, cr, end - p > 64 ? p[64] : 0, &carry);
        p += 64;
    }
    unsigned char last[64] = {0};
    if (end > p)
        memcpy(last, p, static_cast<size_t>(end - p));
    block_bits(last, &lf, &cr);
    return growth + block_growth(lf, cr, 0, &carry);
}

// The growth of the steps in [data, data + size), without the CR LF that
// follows a last single byte; whether the last step is such a byte goes to
// `last_is_byte`.
KERNEL bool ends_in_byte(const unsigned char *buffer, size_t size);

KERNEL int64_t step_growth(const unsigned char *data, size_t size, bool *last_is_byte)
{
    if (little_endian()) {
        *last_is_byte = ends_in_byte(data, size);
        return mask_growth(data, size);
    }
    const unsigned char *p = data;
    const unsigned char *end = data + size;
    int64_t growth = 0;
    bool ends_in_byte = false;  // the last step so far is a byte other than LF
    while (p < end) {
        const unsigned char *q = skip_lone_lf_chunks(p, end, &growth);
        if (q > p) {
            ends_in_byte = q[-1] != LF;
            p = q;
        }
        q = find_break(p, end);
        if (q > p)
            ends_in_byte = true;
        if (q == end)
            break;
        if (end - q >= 2 && pair_at(q)) {
            ends_in_byte = false;
            p = q + 2;
        } else if (*q == LF) {
            growth++;
            ends_in_byte = false;
            p = q + 1;
        } else {
            ends_in_byte = true;
            p = q + 1;
        }
    }
    *last_is_byte = ends_in_byte;
    return growth;
}

KERNEL int64_t growth_of(const unsigned char *data, size_t size)
{
    bool last_is_byte;
    int64_t growth = step_growth(data, size, &last_is_byte);
    return last_is_byte ? growth + 2 : growth;
}

KERNEL int64_t growth_of_part(const unsigned char *data, size_t size)
{
    bool last_is_byte;
    return step_growth(data, size, &last_is_byte);
}

// The start of the run of alternating breaks that ends just before p
// (p[-1] is a break). Pairs are taken from the start of such a run.
KERNEL unsigned char *alternating_start(unsigned char *start, unsigned char *p)
{
    unsigned char *a = p - 1;
    while (a > start && is_break(a[-1]) && a[-1] != a[0])
        a--;
    return a;
}

// Writes the steps of the alternating run [a, src) backwards, ending at dst;
// returns the new start of the output.
KERNEL unsigned char *rewrite_breaks(unsigned char *a, unsigned char *src, unsigned char *dst)
{
    if ((src - a) % 2 != 0) {
        unsigned char last = *--src;
        if (last == LF) {
            *--dst = LF;
            *--dst = CR;
        } else {
            *--dst = CR;
        }
    }
    while (src > a) {
        src -= 2;
        *--dst = LF;
        *--dst = CR;
    }
    return dst;
}

// Whether the image ends with a single byte other than LF: a CR LF is then
// to be appended.
KERNEL bool ends_in_byte(const unsigned char *buffer, size_t size)
{
    if (size == 0)
        return false;
    unsigned char *end = const_cast<unsigned char *>(buffer) + size;
    if (!is_break(end[-1]))
        return true;
    unsigned char *a = alternating_start(const_cast<unsigned char *>(buffer), end);
    return (end - a) % 2 != 0 && end[-1] == CR;
}

KERNEL void rewrite(unsigned char *buffer, size_t size, size_t growth, bool whole_file)
{
    unsigned char *src = buffer + size;
    unsigned char *dst = buffer + size + growth;
    if (whole_file && ends_in_byte(buffer, size)) {
        *--dst = LF;
        *--dst = CR;
    }
    while (src > buffer && dst > src) {
        unsigned char *run = find_break_back(buffer, src);
        size_t length = static_cast<size_t>(src - run);
        dst -= length;
        memmove(dst, run, length);
        src = run;
        if (src == buffer)
            break;
        unsigned char *a = alternating_start(buffer, src);
        dst = rewrite_breaks(a, src, dst);
        src = a;
    }
    // Once the output has caught up with the input, what is left can only
    // change by LF CR pairs turning into CR LF.
    while (src > buffer) {
        unsigned char *run = find_break_back(buffer, src);
        src = run;
        if (src == buffer)
            break;
        unsigned char *a = alternating_start(buffer, src);
        rewrite_breaks(a, src, src);
        src = a;
    }
}

KERNEL void rewrite_whole(unsigned char *buffer, size_t size, size_t growth)
{
    rewrite(buffer, size, growth, true);
}

KERNEL void rewrite_part(unsigned char *buffer, size_t size, size_t growth)
{
    rewrite(buffer, size, growth, false);
}

// The copying conversion. The bytes up to the next CR or LF are copied a
// chunk at a time; a whole chunk is stored even when a break comes inside
// it, and the output then moves on only up to the break (the rest is
// written over). Its stores stay within twice the bytes read so far.
// Copies from *src to *dst up to the next break or to end, and moves both on.
KERNEL void copy_to_break(const unsigned char **src, const unsigned char *end, unsigned char **dst)
{
    const unsigned char *p = *src;
    unsigned char *q = *dst;
    for (;;) {
        if (end - p < kStride) {
            while (p < end && !is_break(*p))
                *q++ = *p++;
            break;
        }
        Stride bytes;
        memcpy(&bytes, p, sizeof bytes);
        memcpy(q, &bytes, sizeof bytes);
        int at = first_in_stride((Stride)((bytes == LF) | (bytes == CR)));
        p += at;
        q += at;
        if (at < kStride)
            break;
    }
    *src = p;
    *dst = q;
}

// Converts the steps of [data, data + size) forwards into `out`, without the
// CR LF that follows a last single byte; returns the bytes written. `out`
// has room for 2 * size bytes and does not overlap the input.
KERNEL size_t convert_steps(const unsigned char *data, size_t size, unsigned char *out)
{
    const unsigned char *p = data;
    const unsigned char *end = data + size;
    unsigned char *q = out;
    for (;;) {
        copy_to_break(&p, end, &q);
        if (p == end)
            break;
        if (end - p >= 2 && pair_at(p)) {
            p += 2;
        } else if (*p++ == CR) {
            *q++ = CR;  // a lone CR stays
            continue;
        }
        *q++ = CR;
        *q++ = LF;
    }
    return static_cast<size_t>(q - out);
}

KERNEL size_t convert_whole(const unsigned char *data, size_t size, unsigned char *out)
{
    size_t count = convert_steps(data, size, out);
    if (ends_in_byte(data, size)) {
        out[count++] = CR;
        out[count++] = LF;
    }
    return count;
}

// Defines `variable`, the LineendsVariant (lineends_variants.h) of the build
// that includes this file: its entry points carry `attributes` (a target,
// or nothing), and `storage` is `static` or empty.
#define LINEENDS_ENTRY_POINTS(storage, variable, label, attributes)                                       \
    namespace variable##_entry {                                                                          \
    attributes int64_t growth(const unsigned char *d, size_t n) { return growth_of(d, n); }              \
    attributes int64_t growth_part(const unsigned char *d, size_t n) { return growth_of_part(d, n); }    \
    attributes void rewrite(unsigned char *b, size_t n, size_t g) { rewrite_whole(b, n, g); }             \
    attributes void rewrite_of_part(unsigned char *b, size_t n, size_t g) { rewrite_part(b, n, g); }      \
    attributes size_t convert(const unsigned char *d, size_t n, unsigned char *o) { return convert_whole(d, n, o); } \
    attributes size_t convert_part(const unsigned char *d, size_t n, unsigned char *o)                   \
    {                                                                                                     \
        return convert_steps(d, n, o);                                                                    \
    }                                                                                                     \
    }                                                                                                     \
    storage const LineendsVariant variable = {label,                                                      \
                                              variable##_entry::growth,                                   \
                                              variable##_entry::growth_part,                              \
                                              variable##_entry::rewrite,                                  \
                                              variable##_entry::rewrite_of_part,                          \
                                              variable##_entry::convert,                                  \
                                              variable##_entry::convert_part};

#endif
