// The whole connector programming interface in one include.
#ifndef VY_CONNECTOR_HPP
#define VY_CONNECTOR_HPP

#include "BOHandlerCPP.hpp"
#include "BusObjNativeImpl.hpp"
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
#include "SubscribedVerb.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "Tracing.hpp"
#include "VyExport.hpp"
#if __has_include("BusinessObject.hpp")
#include "BOAttrType.hpp"
#include "BusObjContainer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "StringMessage.hpp"
#endif
#if __has_include("TransactionBusinessObject.hpp")
#include "TransactionBusinessObject.hpp"
#endif
#if __has_include("BusObjAndSpecSerializer.hpp")
#include "BusObjAndSpecSerializer.hpp"
#endif

#endif  // VY_CONNECTOR_HPP
