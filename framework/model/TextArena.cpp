#include "TextArena.hpp"

namespace vy {

namespace {

constexpr int kClasses = 7;  // 256 .. 16384 bytes
static_assert(kArenaSmallest << (kClasses - 1) == kArenaCachedUpTo, "one class per power of two");
// Each class keeps at most this many bytes of chunks per thread (and at least four chunks).
constexpr size_t kCachedBytesPerClass = 32 * 1024;

int classOf(size_t size) {
  int c = 0;
  for (size_t s = kArenaSmallest; s < size; s <<= 1) ++c;
  return c;
}

// Plain thread-local data (no constructor, no destructor), so that it can be used from any
// point of a thread's life, its exit included; the drain below frees what it holds when the
// thread ends, after which chunks go straight back to the allocator.
struct ChunkCache {
  ArenaChunk* free[kClasses];
  uint32_t count[kClasses];
  bool armed;
  bool closed;
};
thread_local ChunkCache cache;

void drainCache() {
  for (int c = 0; c < kClasses; ++c) {
    while (ArenaChunk* chunk = cache.free[c]) {
      cache.free[c] = chunk->next;
      std::free(chunk);
    }
    cache.count[c] = 0;
  }
}

struct CacheDrain {
  bool armed = false;
  ~CacheDrain() {
    drainCache();
    cache.closed = true;
  }
};
thread_local CacheDrain drain;

}  // namespace

ArenaChunk* arenaNewChunk(size_t size) {
  if (size <= kArenaCachedUpTo) {
    int c = classOf(size);
    size = kArenaSmallest << c;
    if (ArenaChunk* chunk = cache.free[c]) {
      cache.free[c] = chunk->next;
      --cache.count[c];
      return chunk;
    }
  }
  auto* chunk = static_cast<ArenaChunk*>(allocOrStop(sizeof(ArenaChunk) + size));
  chunk->size = size;
  return chunk;
}

void arenaFreeChunk(ArenaChunk* chunk) {
  size_t size = chunk->size;
  if (size <= kArenaCachedUpTo && !cache.closed) {
    int c = classOf(size);
    size_t keep = kCachedBytesPerClass / size;
    if (keep < 4) keep = 4;
    if ((kArenaSmallest << c) == size && cache.count[c] < keep) {
      if (!cache.armed) {
        // The first chunk this thread keeps: its end must drain the cache.
        cache.armed = true;
        drain.armed = true;
      }
      chunk->next = cache.free[c];
      cache.free[c] = chunk;
      ++cache.count[c];
      return;
    }
  }
  std::free(chunk);
}

}  // namespace vy
