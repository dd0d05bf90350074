// A heap that can be made to run out: while `g_largest_block` is set, a block larger than it cannot be had, as in a
// process whose memory is used up, so a test sees what a failed allocation ends in. In a file of its own, so the
// compiler sees no new-expression beside these replacements. Linked only into the programs that test it.
#include <cstddef>
#include <cstdlib>
#include <new>

size_t g_largest_block = 0;

void* operator new(size_t size) {
    if (g_largest_block && size > g_largest_block) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
