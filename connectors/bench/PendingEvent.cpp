#include "PendingEvent.hpp"

#include "BusinessObject.hpp"

PendingEvent::PendingEvent(BusinessObject& bo) : myBusObj(bo.clone()) {}

PendingEvent::~PendingEvent() { delete myBusObj; }
