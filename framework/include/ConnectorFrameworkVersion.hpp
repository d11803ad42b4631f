// The framework's own version (4.1.0) and a compatibility test for version texts.
//
// n_init accepts only an agent interface version equal to version in all three components;
// compatibleVersion is offered to connectors and not used by the framework itself.
// Threads: version is constant-initialised and read-only unless a caller changes it.
#ifndef VY_CONNECTORFRAMEWORKVERSION_HPP
#define VY_CONNECTORFRAMEWORKVERSION_HPP

#include "KyVersion.hpp"
#include "VyExport.hpp"

class VY_EXPORT ConnectorFrameworkVersion {
 public:
  static KyVersion version;

  // A copy of version.
  static KyVersion getVersion();
  // -1 for a null text, for a major below 3, and for exactly 3.0.0; 0 for every other version.
  static int compatibleVersion(const char* text);
};

#endif  // VY_CONNECTORFRAMEWORKVERSION_HPP
