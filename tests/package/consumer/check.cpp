#include <cstdio>
#include <cstring>

#include "KyVersion.hpp"
#include "VyConnector.hpp"

int main() {
  KyVersion v(const_cast<char*>("4.1.0"));
  const char* text = ConnectorFrameworkVersion::getVersion().toString();
  if (v.compareTo(ConnectorFrameworkVersion::version) != 0 || std::strcmp(text, "4.1.0") != 0) {
    std::printf("unexpected framework version %s\n", text);
    return 1;
  }
  return 0;
}
