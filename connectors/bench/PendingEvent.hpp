// An application event waiting to be delivered: holds one business object.
//
// Ownership: the event owns the object it holds and destroys it with itself. setMyBusObj stores
// the pointer and takes ownership of it without destroying the object held before (take that one
// out with removeMyBusObj first). Threads: one thread at a time.
#ifndef VY_BENCH_PENDING_EVENT_HPP
#define VY_BENCH_PENDING_EVENT_HPP

class BusinessObject;

class PendingEvent {
 public:
  // Holds a copy (BusinessObject::clone) of `bo`.
  explicit PendingEvent(BusinessObject& bo);
  ~PendingEvent();
  PendingEvent(const PendingEvent&) = delete;
  PendingEvent& operator=(const PendingEvent&) = delete;

  void setMyBusObj(BusinessObject* bo) { myBusObj = bo; }
  // Lets go of the object without destroying it; the caller now owns it.
  void removeMyBusObj() { myBusObj = nullptr; }
  BusinessObject* getMyBusObj() const { return myBusObj; }

 private:
  BusinessObject* myBusObj;
};

#endif  // VY_BENCH_PENDING_EVENT_HPP
