// The whole connector programming interface in one include.
#ifndef VY_CONNECTOR_HPP
#define VY_CONNECTOR_HPP

#include "VyExport.hpp"
#include "KyVersion.hpp"
#include "ConnectorFrameworkVersion.hpp"
#include "KyConversion.hpp"
#include "Tracing.hpp"
#include "KyMsgFormat.hpp"
#include "KyTimer.hpp"
#include "KyPerfFlow.hpp"
#include "KyPerfFlowHashable.hpp"
#include "KyPerfUtil.hpp"
#include "BusObjNativeImpl.hpp"
#include "JToCPPVeneer.hpp"
#include "GenGlobals.hpp"
#include "BOHandlerCPP.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "SubscribedVerb.hpp"
#include "SubscriptionHandlerCPP.hpp"
#if __has_include("BusinessObject.hpp")
#include "StringMessage.hpp"
#include "BOAttrType.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "BusObjContainer.hpp"
#endif
#if __has_include("TransactionBusinessObject.hpp")
#include "TransactionBusinessObject.hpp"
#endif
#if __has_include("BusObjAndSpecSerializer.hpp")
#include "BusObjAndSpecSerializer.hpp"
#endif

#endif  // VY_CONNECTOR_HPP
