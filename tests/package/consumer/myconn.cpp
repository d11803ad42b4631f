// The smallest outside connector: it only proves the installed headers and library link.
#include "VyConnector.hpp"

int myconn_version_major() { return ConnectorFrameworkVersion::getVersion().getMajorVer(); }
