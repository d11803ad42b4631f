// Keeps fuzz inputs independent of one another where they file specs: the spec directory is put
// back to the fixed types after every input, so a spec one input filed never changes how a later
// input reads. (Specs filed by inputs stay alive, as the directory keeps every spec it was given.)
#ifndef VY_FUZZ_DIRECTORY_HPP
#define VY_FUZZ_DIRECTORY_HPP

namespace vyfuzz {

class FuzzDirectory {
 public:
  // Remembers the directory's current entries (call once, after the fixed specs are announced).
  static void snapshot();
  // Makes the directory hold exactly the remembered entries again.
  static void restore();
};

}  // namespace vyfuzz

#endif  // VY_FUZZ_DIRECTORY_HPP
