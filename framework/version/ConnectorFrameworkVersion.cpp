#include "ConnectorFrameworkVersion.hpp"

// Constant-initialised, so other libraries' static constructors can compare with it safely.
KyVersion ConnectorFrameworkVersion::version(4, 1, 0);

KyVersion ConnectorFrameworkVersion::getVersion() { return version; }

// Version 3.0.0 itself predates the framework's interface and is refused, as every major below
// 3 is; any later version with a major of 3 or more is accepted.
int ConnectorFrameworkVersion::compatibleVersion(const char* text) {
  if (text == nullptr) return -1;
  KyVersion v(text);
  if (v.getMajorVer() < 3) return -1;
  return v.compareTo(KyVersion(3, 0, 0)) == 0 ? -1 : 0;
}
