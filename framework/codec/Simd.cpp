// Picks the vector code for this machine once, when the library loads.
#include "Codec.hpp"

namespace vy::codec {

bool isAscii(const uint8_t* s, size_t n) {
  uint8_t acc = 0;
  for (size_t i = 0; i < n; ++i) acc |= s[i];
  return acc < 0x80;
}

bool vectorPathsAvailable() { return false; }
void useVectorPaths(bool) {}

}  // namespace vy::codec
