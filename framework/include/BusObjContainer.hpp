// The children of one multiple-cardinality object attribute of a BusinessObject: an ordered,
// growable array of child objects of one spec, plus the container's own delta flag (1 when the
// children form a delta, 0 for an after-image).
//
// Ownership: the container owns its children. Removing or replacing a child deletes it (unless
// the replacement is the very same object), and deleting the container deletes all of them.
// insertObject and friends do not set a child's parent: BusinessObject::setAttrValue does.
// The spec is not owned and may be null.
// Positions: slots 0 .. count-1 hold the objects (null only where setObject left a gap);
// negative positions are refused (null or -1).
// Threads: one thread at a time, like the object that holds the container.
#ifndef VY_BUS_OBJ_CONTAINER_HPP
#define VY_BUS_OBJ_CONTAINER_HPP

#include "VyExport.hpp"

class BusinessObject;
class BusObjSpec;

class VY_EXPORT BusObjContainer {
 public:
  // Capacity of a new array and the step by which it grows.
  static const int GROWTH = 25;

  explicit BusObjContainer(BusObjSpec* spec);
  // Deletes every child.
  ~BusObjContainer();
  BusObjContainer(const BusObjContainer&) = delete;
  BusObjContainer& operator=(const BusObjContainer&) = delete;

  // A new empty array of GROWTH slots (the previous one must have been freed).
  void initContent();
  // Deletes every child and the array.
  void freeContent();
  // Deletes every child; the container is then empty.
  void removeAllObjects();

  // Appends `object` (null is ignored); the container owns it.
  void insertObject(BusinessObject* object);
  // Inserts at `index` (0 .. count), moving later objects up; 0, or -1 for a bad index.
  int insertObjectAt(int index, BusinessObject* object);
  // Stores `object` at `index`, growing as needed; count becomes index + 1 when index is at or
  // past it. A different object previously there is deleted. 0, or -1 for a negative index.
  int setObject(int index, BusinessObject* object);
  // Deletes the object at `index` and moves later objects down; 0, or -1 for a bad index.
  int removeObjectAt(int index);
  // The object at `index`, or null.
  BusinessObject* getObject(int index) const;
  // Position of the first object whose keys equal those of `object`; -1 for none or null.
  int objectExists(BusinessObject* object) const;
  // 0 when both hold equal children (BusinessObject::equalsContent) in the same order, else -1.
  int equals(BusObjContainer* other) const;
  // Sets the verb on every child and its tree; returns the count.
  int resetVerbs(const char* verb);

  int getObjectCount() const { return count; }
  // Slots in the array: GROWTH for a new container, one GROWTH more at each growth.
  int getCapacity() const { return capacity; }
  void setDelta(unsigned int flag) { delta = flag; }
  unsigned int isDelta() const { return delta; }
  void setTheSpec(BusObjSpec* s) { spec = s; }
  BusObjSpec* getTheSpec() const { return spec; }

  // ---- delta and after-image processing (this container belongs to `parent`) ----

  // Compares this container with `other`, matching children by keys. otherIsNew = 0: this holds
  // the new children and other the old: new-only children get "Create", old-only children are
  // copied in (appended) as "Delete", common ones "Update". otherIsNew != 0: this holds the
  // existing children and other the new set: existing-only children get "Delete", new-only ones
  // are copied in as "Create", common ones are replaced by copies of the new ones. Common
  // children are then compared recursively.
  void cmpToFigureOutDeletes(BusObjContainer* other, BusinessObject* parent,
                             unsigned int otherIsNew);
  // Applies delta children to these existing children, giving action objects.
  void actualCmpDeltaAndAfterImage(BusObjContainer* deltaContainer, BusinessObject* parent);
  // Applies delta children to these current children, giving the complete new children.
  void makeDeltaIntoAfterImage(BusObjContainer* deltaContainer, BusinessObject* parent);

 private:
  friend class BusinessObject;

  void grow(int minCapacity);
  // Appends a copy of `object` whose parent is `parent`.
  void appendCopyOf(BusinessObject* object, BusinessObject* parent);
  // Marks a delta child that matches none here "Create" (in the delta too) and appends a copy.
  void appendAsCreate(BusinessObject* change, BusinessObject* parent);
  // Calls apply(change, k) for every delta child of `deltaContainer` in order (none when it is
  // null or this container); k is the index of the child here with the same keys, or -1.
  template <class Apply>
  void forEachDeltaChild(BusObjContainer* deltaContainer, Apply apply);

  unsigned int delta;
  int capacity;
  int count;
  BusinessObject** slots;
  BusObjSpec* spec;
};

#endif  // VY_BUS_OBJ_CONTAINER_HPP
