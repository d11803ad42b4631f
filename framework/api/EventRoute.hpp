// The one route of an application event to the agent: delivered through the agent port when the
// current veneer's subscriptions take its name and verb, otherwise only logged as message 80008
// and answered -10.
#ifndef VY_EVENT_ROUTE_HPP
#define VY_EVENT_ROUTE_HPP

class BusinessObject;

namespace vy {
int raiseEvent(BusinessObject& bo);
}  // namespace vy

#endif  // VY_EVENT_ROUTE_HPP
