# The sources of libVyConnector by subsystem folder, listed by name. Included by the library,
# by the codec tests (which compile the codecs in) and by the fuzz targets (which compile the
# whole kit again, instrumented).
set(VY_PORT_SOURCES
  AgentLog.cpp AgentPort.cpp ConnectorFault.cpp NativeAgentPort.cpp VeneerLife.cpp)
list(TRANSFORM VY_PORT_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/port/)
set(VY_BRIDGE_SOURCES
  BridgeState.cpp BusObjNativeImpl.cpp CollabNames.cpp DoVerbForEntryPoint.cpp
  EventCallbacks.cpp JniEnv.cpp JniPortal.cpp JvmAgentPort.cpp KyConversion.cpp
  KyConversionCharsets.cpp KyConversionJcs.cpp LifecycleEntryPoints.cpp SpecEntryPoint.cpp
  SubscriptionEntryPoints.cpp)
list(TRANSFORM VY_BRIDGE_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/bridge/)
set(VY_CODEC_SOURCES
  Avx512Codecs.cpp Avx512Utf16.cpp ModifiedUtf8ToNative.cpp NativeToModifiedUtf8.cpp
  NativeToUtf16.cpp Simd.cpp SimdKernels.cpp Utf16ToNative.cpp)
list(TRANSFORM VY_CODEC_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/codec/)
set(VY_API_SOURCES
  BOHandlerCPP.cpp BOHandlerHelpers.cpp GenGlobals.cpp JToCPPVeneer.cpp KyMsgFormat.cpp
  KyPerfFlow.cpp KyPerfFlowHashable.cpp KyPerfUtil.cpp KyTimer.cpp ReturnStatusDescriptor.cpp
  ServiceForwarding.cpp SubscribedVerb.cpp SubscriptionHandlerCPP.cpp Tracing.cpp)
list(TRANSFORM VY_API_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/api/)
set(VY_MODEL_SOURCES
  BOAttrType.cpp BusObjAndSpecSerializer.cpp BusObjContainer.cpp BusObjSpec.cpp
  BusObjSpecDirectory.cpp BusObjSpecList.cpp BusinessObject.cpp BusinessObjectDelta.cpp
  BusinessObjectWire.cpp RequestRefusal.cpp StringMessage.cpp TextArena.cpp
  TransactionBusinessObject.cpp WireTokens.cpp)
list(TRANSFORM VY_MODEL_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/model/)
set(VY_VERSION_SOURCES
  ConnectorFrameworkVersion.cpp KyVersion.cpp)
list(TRANSFORM VY_VERSION_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/version/)
set(VY_FRAMEWORK_SOURCES
  ${VY_PORT_SOURCES} ${VY_BRIDGE_SOURCES} ${VY_CODEC_SOURCES}
  ${VY_API_SOURCES} ${VY_MODEL_SOURCES} ${VY_VERSION_SOURCES})
