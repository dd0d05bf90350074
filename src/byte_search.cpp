// Eight bytes at a time: a word holds a byte b when (word ^ b repeated) has a zero byte, which the classic
// (x - 0x01...) & ~x & 0x80... test finds without a branch per byte.
#include "byte_search.h"

#include <cstdint>
#include <cstring>

size_t FindEitherByte(const char* bytes, size_t size, size_t from, char a, char b) {
    constexpr uint64_t ONES = 0x0101010101010101ull, HIGHS = 0x8080808080808080ull;
    const auto has_byte = [](uint64_t word, uint64_t repeated) {
        const uint64_t x = word ^ repeated;
        return ((x - ONES) & ~x & HIGHS) != 0;
    };
    const uint64_t a_repeated = ONES * static_cast<unsigned char>(a);
    const uint64_t b_repeated = ONES * static_cast<unsigned char>(b);
    size_t i = from;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (has_byte(word, a_repeated) || has_byte(word, b_repeated)) break;
    }
    while (i < size && bytes[i] != a && bytes[i] != b) ++i;
    return i;
}
