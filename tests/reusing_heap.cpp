// The test programs that make and free millions of small blocks (the fuzzer, the huge banks) keep freed blocks for
// reuse instead of handing each back to the C runtime: under Wine every malloc and free takes the heap's lock and
// searches its free lists, which was about a third of the fuzzer's time. Blocks of up to 1 KB are kept, by size in
// steps of 16 bytes; larger ones come from malloc as before. Nothing is locked: these programs allocate on one
// thread. Linked only into the programs that gain from it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Every block starts with a header of this size holding its size class (0: from malloc), so blocks keep malloc's
// 16-byte alignment.
constexpr size_t GRAIN = 16;
constexpr size_t SIZE_CLASSES = 64;
// Blocks of a size class are cut from chunks of this size, which are never given back.
constexpr size_t CHUNK = size_t{1} << 20;

struct FreeBlock {
    FreeBlock* next;
};
FreeBlock* freeBlocks[SIZE_CLASSES + 1] = {};
char* chunkAt = nullptr;
size_t chunkLeft = 0;
char* TakeBlock(size_t size_class) {
    char* block = reinterpret_cast<char*>(freeBlocks[size_class]);
    if (block) {
        freeBlocks[size_class] = freeBlocks[size_class]->next;
    } else {
        const size_t need = (size_class + 1) * GRAIN;
        if (chunkLeft < need) {
            chunkAt = static_cast<char*>(std::malloc(CHUNK));
            chunkLeft = chunkAt ? CHUNK : 0;
        }
        if (chunkAt) {
            block = chunkAt;
            chunkAt += need;
            chunkLeft -= need;
        }
    }
    return block;
}

void* Allocate(size_t size) {
    const size_t size_class = std::max<size_t>(1, size / GRAIN + (size % GRAIN != 0));
    char* block = nullptr;
    if (size_class <= SIZE_CLASSES) {
        block = TakeBlock(size_class);
    } else if (size <= SIZE_MAX - GRAIN) {
        block = static_cast<char*>(std::malloc(size + GRAIN));
    }
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<size_t*>(block) = size_class <= SIZE_CLASSES ? size_class : 0;
    return block + GRAIN;
}

void Release(void* pointer) {
    if (!pointer) return;
    char* block = static_cast<char*>(pointer) - GRAIN;
    const size_t size_class = *reinterpret_cast<size_t*>(block);
    if (size_class == 0) {
        std::free(block);
        return;
    }
    reinterpret_cast<FreeBlock*>(block)->next = freeBlocks[size_class];
    freeBlocks[size_class] = reinterpret_cast<FreeBlock*>(block);
}

}  // namespace

// The runtime's nothrow forms call these; its aligned forms use _aligned_malloc and _aligned_free, untouched.
void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* pointer) noexcept { Release(pointer); }
void operator delete[](void* pointer) noexcept { Release(pointer); }
void operator delete(void* pointer, size_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, size_t) noexcept { Release(pointer); }
