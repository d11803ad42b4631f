// The whole connector programming interface in one include. The modern layer (VyModern.hpp)
// and the test kit (VyTesting.hpp) are included on request.
#ifndef VY_CONNECTOR_HPP
#define VY_CONNECTOR_HPP

#include "BOAttrType.hpp"
#include "BOHandlerCPP.hpp"
#include "BusObjAndSpecSerializer.hpp"
#include "BusObjContainer.hpp"
#include "BusObjNativeImpl.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "ConnectorFrameworkVersion.hpp"
#include "GenGlobals.hpp"
#include "JToCPPVeneer.hpp"
#include "KyConversion.hpp"
#include "KyMsgFormat.hpp"
#include "KyPerfFlow.hpp"
#include "KyPerfFlowHashable.hpp"
#include "KyPerfUtil.hpp"
#include "KyTimer.hpp"
#include "KyVersion.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "SubscribedVerb.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "Tracing.hpp"
#include "TransactionBusinessObject.hpp"
#include "VyExport.hpp"
#include "VyResults.hpp"

#endif  // VY_CONNECTOR_HPP
