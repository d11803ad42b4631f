// Packs a business object together with every spec needed to read it into one self-contained
// native text, and unpacks such a text, filing the specs the directory does not hold yet. A
// connector uses it to store or forward an object outside the agent: the receiving process needs
// no spec announced beforehand.
//
// Packed object (serialize), fields with the delimiter U+0003: "BusObjAndSpec", the object's
// whole message as one field (its own length prefixes and delimiters are part of the field text,
// so they never split the outer text), then one field per spec of the object's type graph, each
// type once. Packed parent and keys (serializeParentSpecAndKeys), fields with the delimiter
// U+0004: "BusObjAndSpec", the object's parent-and-keys message, the message of its own spec.
//
// Ownership: packed texts are malloc'd and freed by the caller with free(); unpacked objects are
// new'd and deleted by the caller. Specs always belong to the spec directory: a spec list handed
// out here holds the directory's specs, so it is released with releaseSpecList, never by deleting
// it while specs are still in it.
//
// Failures: a null argument, an object without spec, or a text that cannot be converted gives a
// null packed text. Unpacking a text that is not a packed object, that is truncated before the
// object, that carries a malformed spec or more than MAX_SPEC_FIELDS spec fields gives null and
// files nothing. A well-formed packed text whose object message cannot be read gives an object
// without spec (test getTheSpec(); getReadError() says why).
//
// Threads: every operation may run on several threads at once. The list that getAllSpecsForBO
// builds and populateAllSpecs fills is the calling thread's own, so concurrent packings never see
// each other's lists. Filing a spec takes the directory's lock.
#ifndef VY_BUS_OBJ_AND_SPEC_SERIALIZER_HPP
#define VY_BUS_OBJ_AND_SPEC_SERIALIZER_HPP

#include "VyExport.hpp"

class BusinessObject;
class BusObjSpec;
class BusObjSpecList;

class VY_EXPORT BusObjAndSpecSerializer {
 public:
  // Kind marker, the first field of every packed text.
  static const char* const BUSOBJANDSPEC;  // "BusObjAndSpec"
  // Delimiter of the parent-and-keys packing: the single character U+0004.
  static const char* const specialDelimiter;
  // Most spec fields an unpacked text may carry; a text with more is refused.
  static constexpr int MAX_SPEC_FIELDS = 10000;

  BusObjAndSpecSerializer() = delete;

  // Packs `bo` (its complete tree) with every spec its type graph needs. Returns a new text the
  // caller frees with free(); null when bo is null, has no spec, or a message cannot be
  // rendered as native text.
  static char* serialize(BusinessObject* bo);
  // Packs the parent-and-keys message of `bo` (key values only, no children) with its own spec.
  // Same contract as serialize.
  static char* serializeParentSpecAndKeys(BusinessObject* bo);

  // Unpacks a serialize text. Specs the directory holds under the same name are kept and the
  // packed copies discarded; the others are filed (without handler) and stay for the life of the
  // process. Returns a new object the caller deletes, or null when text is null or is not a
  // well-formed packed object (nothing is filed then).
  static BusinessObject* deSerialize(const char* text);
  // Unpacks a serializeParentSpecAndKeys text (delimiter U+0004, exactly one spec field). The
  // object is an after-image whose non-key simple values are ignored and whose object
  // attributes are empty. Same contract as deSerialize.
  static BusinessObject* deSerializeParentSpecAndKeys(const char* text);

  // Starts a new list for the calling thread and fills it with the spec of `bo` and, through
  // populateAllSpecs, every spec reachable through object attributes, each name once. Returns
  // the list (empty when bo is null or its type is unknown). The caller owns the list but not
  // the specs in it: release it with releaseSpecList.
  static BusObjSpecList* getAllSpecsForBO(BusinessObject* bo);
  // Adds `spec` to the calling thread's current list and, recursively, the newest spec of every
  // object attribute's type; a name already in the list ends that branch, so cyclic type graphs
  // terminate. A thread without a current list starts one (getAllSpecs returns it; the caller
  // owns it). A null spec does nothing.
  static void populateAllSpecs(BusObjSpec* spec);
  // The calling thread's current list (the last one getAllSpecsForBO or populateAllSpecs
  // started and not yet released), or null.
  static BusObjSpecList* getAllSpecs();
  // Takes every spec out of `list` (they stay the directory's) and deletes the list. Null does
  // nothing. If the list is the calling thread's current one, the thread has none afterwards.
  static void releaseSpecList(BusObjSpecList* list);

 private:
  static BusinessObject* unpack(const char* text, const char* delimiter, bool parentAndKeys);
  static char* pack(BusinessObject* bo, bool parentAndKeys);
};

#endif  // VY_BUS_OBJ_AND_SPEC_SERIALIZER_HPP
