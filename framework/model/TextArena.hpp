// The texts an object read from the wire keeps (its value array, verb, locale and values) live
// in a short list of chunks the object owns, instead of one allocation each. Chunks are only
// added, never shrunk or moved, so a text stays where it was put until the object goes; a slot
// whose text is replaced or freed simply stops pointing into the chunk. `holds` tells the
// object's own texts from ones the connector stored (released with free as ever).
#ifndef VY_TEXT_ARENA_HPP
#define VY_TEXT_ARENA_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "TextCopy.hpp"

namespace vy {

struct ArenaChunk {
  ArenaChunk* next;  // the chunk filled before this one
  size_t size;       // bytes after the header
  size_t used;
  char* data() { return reinterpret_cast<char*>(this + 1); }
  const char* data() const { return reinterpret_cast<const char*>(this + 1); }
};

// Chunks of up to this many bytes come in power-of-two sizes from 256 and are kept by the
// releasing thread for its next objects (a request reads and frees a tree of them); larger ones
// go straight back to the allocator.
constexpr size_t kArenaSmallest = 256;
constexpr size_t kArenaCachedUpTo = 16384;

// A chunk of `size` bytes (a cached size from the thread's cache when it has one), and its
// return.
ArenaChunk* arenaNewChunk(size_t size);
void arenaFreeChunk(ArenaChunk* chunk);

// `bytes` bytes aligned for pointers, from the newest chunk or a new one at least `hint` bytes
// (and twice the newest) large.
inline void* arenaTake(ArenaChunk*& head, size_t bytes, size_t hint = 0) {
  constexpr size_t kAlign = alignof(void*);
  if (head != nullptr) {
    size_t at = (head->used + kAlign - 1) & ~(kAlign - 1);
    if (at + bytes <= head->size) {
      head->used = at + bytes;
      return head->data() + at;
    }
  }
  size_t size = bytes > hint ? bytes : hint;
  if (head != nullptr && size < 2 * head->size) size = 2 * head->size;
  ArenaChunk* chunk = arenaNewChunk(size);
  chunk->next = head;
  chunk->used = bytes;
  head = chunk;
  return chunk->data();
}

// n bytes from `in` to `out`; the short texts most values are copied without a library call.
inline void copyBytes(char* out, const char* in, size_t n) {
  if (n >= 8 && n <= 16) {
    uint64_t a, b;
    std::memcpy(&a, in, 8);
    std::memcpy(&b, in + n - 8, 8);
    std::memcpy(out, &a, 8);
    std::memcpy(out + n - 8, &b, 8);
  } else if (n >= 4 && n < 8) {
    uint32_t a, b;
    std::memcpy(&a, in, 4);
    std::memcpy(&b, in + n - 4, 4);
    std::memcpy(out, &a, 4);
    std::memcpy(out + n - 4, &b, 4);
  } else if (n < 4) {
    for (size_t i = 0; i < n; ++i) out[i] = in[i];
  } else {
    std::memcpy(out, in, n);
  }
}

// A NUL-terminated copy of n bytes of `text`.
inline char* arenaCopy(ArenaChunk*& head, const char* text, size_t n) {
  char* out;
  if (head != nullptr && head->used + n + 1 <= head->size) {
    out = head->data() + head->used;
    head->used += n + 1;
  } else {
    out = static_cast<char*>(arenaTake(head, n + 1));
  }
  copyBytes(out, text, n);
  out[n] = '\0';
  return out;
}

inline bool arenaHolds(const ArenaChunk* head, const void* p) {
  const char* c = static_cast<const char*>(p);
  for (; head != nullptr; head = head->next) {
    if (c >= head->data() && c < head->data() + head->size) return true;
  }
  return false;
}

inline void arenaRelease(ArenaChunk*& head) {
  while (head != nullptr) {
    ArenaChunk* next = head->next;
    arenaFreeChunk(head);
    head = next;
  }
}

}  // namespace vy

#endif  // VY_TEXT_ARENA_HPP
