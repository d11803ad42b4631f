// Names for the numbers connector code and the framework exchange. The numbers are the interface:
// connector code that returns or compares the plain numbers keeps working, and these names stand
// beside them. docs/connector-reference.md says when each one is returned and what follows. The
// modern layer's vy::Status and vy::kEventNotSubscribed (VyModern.hpp) are the same numbers.
#ifndef VY_RESULTS_HPP
#define VY_RESULTS_HPP

class VyResults {
 public:
  // ---- BOHandlerCPP::doVerbFor: the status handed to the agent unchanged ----
  // Done; the object, with the handler's changes, is written back to the agent.
  static constexpr int VERB_SUCCESS = 1;
  // Not a failure; the object, with its changed values, is written back as for VERB_SUCCESS.
  // (Best-effort processing of a transaction object logs an information message for it and
  // carries on.) VyModern.hpp calls it vy::Status::ValueChanged.
  static constexpr int VERB_VALUE_CHANGED = -5;
  // Done without a result object: the agent keeps the request as it sent it.
  static constexpr int VERB_DONE = 0;
  // Failed; the agent keeps its request. Also what the framework answers itself when the request
  // cannot reach a handler or connector code throws. Every other negative number is a failure
  // too, passed to the agent unchanged.
  static constexpr int VERB_FAILURE = -1;

  // True for the results after which the object is written back (1 and -5).
  static constexpr bool verbReturnsObject(int result) {
    return result == VERB_SUCCESS || result == VERB_VALUE_CHANGED;
  }
  // True for the failures: every negative result but -5.
  static constexpr bool verbFailed(int result) {
    return result < 0 && result != VERB_VALUE_CHANGED;
  }

  // ---- GenGlobals::init, pollForEvents and terminate: handed to the agent unchanged ----
  // The agent of this kit starts the connector only when init answers 0 and counts every poll
  // answered otherwise as a failed poll.
  static constexpr int INIT_SUCCESS = 0;
  static constexpr int POLL_SUCCESS = 0;
  static constexpr int TERMINATE_SUCCESS = 0;
  // Also what n_init answers itself on a version mismatch, without a globals object, or when
  // init throws; and n_poll / n_terminate when the slot throws or no connector runs.
  static constexpr int INIT_FAILURE = -1;
  static constexpr int POLL_FAILURE = -1;
  static constexpr int TERMINATE_FAILURE = -1;

  // ---- SubscriptionHandlerCPP::gotApplEvent ----
  // Nobody subscribes to the object's name and verb: the agent never sees the event.
  static constexpr int EVENT_NOT_SUBSCRIBED = -10;
  // The event could not be handed over (no connector running, or the agent failed to take it).
  // Any other answer is the agent's own, passed through unchanged.
  static constexpr int EVENT_NOT_DELIVERED = -1;

  // ---- BusinessObject::setAttrValue ----
  static constexpr int ATTR_STORED = 1;
  // Refused (unknown attribute, or a type that is not the attribute's): nothing was taken.
  static constexpr int ATTR_REFUSED = 0;

  // ---- SubscriptionHandlerCPP::isSubscribed ----
  static constexpr int SUBSCRIBED = 1;
  static constexpr int NOT_SUBSCRIBED = 0;
};

#endif  // VY_RESULTS_HPP
