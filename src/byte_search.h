// Finding a byte in a long text. The C runtime's memchr goes a byte at a time under Wine: over a bank of 50 MB it
// took longer than reading the file, and every piece of a large bank is searched for a NUL. This looks at sixteen
// bytes at a time.
#pragma once

#include <cstddef>
#include <string_view>

// Where the first byte `a` or `b` at or after `from` is in the `size` bytes at `bytes`; `size` when there is none.
size_t FindEitherByte(const char* bytes, size_t size, size_t from, char a, char b);

// Where the first NUL of `text` is; its size when there is none.
inline size_t FindNul(std::string_view text) { return FindEitherByte(text.data(), text.size(), 0, '\0', '\0'); }
