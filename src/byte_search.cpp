// Sixteen bytes at a time with SSE2, which every x86-64 processor has: one comparison per byte value looked for,
// and a mask of the bytes that matched.
#include "byte_search.h"

#include <emmintrin.h>

size_t FindEitherByte(const char* bytes, size_t size, size_t from, char a, char b) {
    const __m128i a_repeated = _mm_set1_epi8(a), b_repeated = _mm_set1_epi8(b);
    size_t i = from;
    for (; i + 16 <= size; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const int matched =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, a_repeated), _mm_cmpeq_epi8(block, b_repeated)));
        if (matched != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(matched)));
    }
    while (i < size && bytes[i] != a && bytes[i] != b) ++i;
    return i;
}
