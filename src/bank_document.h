// The parsed bank's document and the memory it lives in. A bank may hold 100,000 questions; its document is then
// millions of small blocks, so it takes its memory from a monotonic arena: large blocks handed out front to back
// and all given back at once when the load is done, without walking the tree to free it piece by piece.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory_resource>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The arena the parsed document lives in while a bank is parsed; only the loader uses it, on the one GUI thread.
inline std::pmr::monotonic_buffer_resource* documentArena = nullptr;

inline constexpr size_t ARENA_MIN_BLOCK = 64 * 1024;

// A bank's document takes a little over twice its text (a 50 MB bank of 100,000 questions, 114 MB), so a first
// block of 9/4 of the text usually holds it all; pages of the block that are never written cost no memory.
inline size_t FirstArenaBlock(size_t text_size) { return std::max(text_size / 4 * 9, ARENA_MIN_BLOCK); }

// The JSON library default-constructs its allocators wherever it needs one, so the allocator cannot carry the arena
// and reaches it through the process-wide pointer instead.
template <typename T>
struct ArenaAllocator {
    using value_type = T;
    ArenaAllocator() = default;
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(documentArena->allocate(n * sizeof(T), alignof(T))); }
    void deallocate(T*, size_t) noexcept {}
};
template <typename T, typename U>
bool operator==(const ArenaAllocator<T>&, const ArenaAllocator<U>&) { return true; }
template <typename T, typename U>
bool operator!=(const ArenaAllocator<T>&, const ArenaAllocator<U>&) { return false; }

// The library's usual document (ordered objects, 64-bit numbers), with its strings and containers in the arena.
using ArenaString = std::basic_string<char, std::char_traits<char>, ArenaAllocator<char>>;
using BankJson = nlohmann::basic_json<std::map, std::vector, ArenaString, bool, std::int64_t, std::uint64_t, double,
                                  ArenaAllocator>;
