// The counting pass with SSE2: the file is read 64 bytes at a time, and the
// growth of each block is worked out from the bit masks of its LFs and CRs;
// runs of blocks of the two usual kinds, lone LFs only and CR LF pairs
// only, are passed in bulk.
// The functions carry the target themselves, so that the 32-bit program,
// built for processors without SSE2, has this code too and runs it only
// where the processor has it (lineends.cpp).
#include <emmintrin.h>
#include <string.h>

#include "lineends_variants.h"

#define SSE2 __attribute__((target("sse2")))
#define KERNEL static inline __attribute__((always_inline, target("sse2")))

KERNEL __m128i load(const unsigned char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }

KERNEL uint64_t bits_of(__m128i marks) { return static_cast<uint16_t>(_mm_movemask_epi8(marks)); }

// Bit i set where byte i of the 64 at p is LF, and where it is CR. `least`
// keeps the least byte seen in each lane, which tells whether a zero byte
// came by.
KERNEL void block_bits(const unsigned char *p, uint64_t *lf, uint64_t *cr, __m128i *least)
{
    *lf = *cr = 0;
    for (int i = 0; i < 4; i++) {
        __m128i bytes = load(p + 16 * i);
        *lf |= bits_of(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(LF))) << (16 * i);
        *cr |= bits_of(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(CR))) << (16 * i);
        *least = _mm_min_epu8(*least, bytes);
    }
}

// Whether the 64 bytes at p hold CR LF pairs and other bytes only, as far
// as they can tell: every LF follows a CR (p[-1] is read too) and every CR
// but the last is followed by an LF.
KERNEL bool pairs_only_block(const unsigned char *p, __m128i *least)
{
    __m128i odd = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16) {
        __m128i here = load(p + i);
        __m128i before = load(p + i - 1);
        odd = _mm_or_si128(odd, _mm_xor_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8(LF)),
                                              _mm_cmpeq_epi8(before, _mm_set1_epi8(CR))));
        *least = _mm_min_epu8(*least, here);
    }
    return bits_of(odd) == 0;
}

// The number of bits set, without the library call the builtin makes on a
// processor without the instruction.
KERNEL int bits_set(uint64_t x)
{
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<int>((x * 0x0101010101010101ull) >> 56);
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

// Text already converted is mostly CR LF pairs: such blocks, after a block
// that held pairs only, are passed without their marks, and hand on what
// the block steps would (see block_growth's second case). Returns the first
// block that is not such a block, the first at p being one.
KERNEL const unsigned char *skip_pair_blocks(const unsigned char *p, const unsigned char *end, BlockCarry *carry,
                                            int64_t *growth, __m128i *least)
{
    const unsigned char *q = p + 64;
    while (end - q >= 64 && pairs_only_block(q, least))
        q += 64;
    unsigned char last = q[-1];
    unsigned char next = q < end ? *q : 0;
    // A last LF is counted and taken back with the next block, as there.
    *growth += static_cast<int64_t>(last == LF && next != CR) - static_cast<int64_t>(carry->lf && *p != CR);
    carry->lf = carry->odd = last == LF;
    carry->cr = last == CR;
    return q;
}

// The sum of the byte lanes.
KERNEL int64_t lane_sum(__m128i lanes)
{
    __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
}

// Text with lone LFs only, the usual kind, is counted without the marks of
// its blocks: from a block that no run of breaks reaches, the blocks that
// hold no CR grow by their LFs, added up lane by lane, as block_growth's
// first case has it, but for a last LF that a CR follows, which pairs with
// it. Returns the first block that holds a CR, or the end's.
KERNEL const unsigned char *skip_lf_blocks(const unsigned char *p, const unsigned char *end, BlockCarry *carry,
                                          int64_t *growth, __m128i *least)
{
    const unsigned char *q = p;
    __m128i counts = _mm_setzero_si128();  // LFs in each lane, up to 4 a block
    int blocks = 0;
    while (end - q >= 64) {
        __m128i crs = _mm_setzero_si128(), lfs = _mm_setzero_si128();
        for (int i = 0; i < 64; i += 16) {
            __m128i bytes = load(q + i);
            crs = _mm_or_si128(crs, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(CR)));
            lfs = _mm_sub_epi8(lfs, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(LF)));  // a match is minus one
            *least = _mm_min_epu8(*least, bytes);
        }
        if (bits_of(crs) != 0)
            break;
        counts = _mm_add_epi8(counts, lfs);
        q += 64;
        if (++blocks == 63) {
            *growth += lane_sum(counts);
            counts = _mm_setzero_si128();
            blocks = 0;
        }
    }
    *growth += lane_sum(counts);
    if (q > p) {
        *growth -= q[-1] == LF && q < end && *q == CR;
        carry->lf = q[-1] == LF;
    }
    return q;
}

// The last block is read from a copy padded with bytes that are neither
// breaks nor zero, and is read even when empty: a run that reaches the end
// of the one before is taken back there.
SSE2 int64_t lineends_sse2_count(const unsigned char *data, size_t size, bool *nul)
{
    BlockCarry carry = {0, 0, 0};
    int64_t growth = 0;
    __m128i least = _mm_set1_epi8(-1);
    const unsigned char *p = data;
    const unsigned char *end = data + size;
    uint64_t lf, cr;
    bool pairs_before = false;  // the block before held CR LF pairs only
    while (end - p >= 64) {
        if (pairs_before && pairs_only_block(p, &least))
            p = skip_pair_blocks(p, end, &carry, &growth, &least);
        else if ((carry.cr | carry.odd) == 0)
            p = skip_lf_blocks(p, end, &carry, &growth, &least);
        if (end - p < 64)
            break;
        block_bits(p, &lf, &cr, &least);
        pairs_before = cr != 0 && lf == ((cr << 1) | carry.cr) && carry.odd == carry.lf;
        growth += block_growth(lf, cr, end - p > 64 ? p[64] : 0, &carry);
        p += 64;
    }
    unsigned char last[64];
    memset(last, ' ', sizeof last);
    if (end > p)
        memcpy(last, p, static_cast<size_t>(end - p));
    block_bits(last, &lf, &cr, &least);
    if (bits_of(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0)
        *nul = true;
    return growth + block_growth(lf, cr, 0, &carry);
}
