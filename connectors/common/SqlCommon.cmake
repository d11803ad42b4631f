# The tree code both SQL connectors compile in: include() this from a connector's CMakeLists.
set(VY_SQL_COMMON_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VY_SQL_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ConnectorText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MappingCache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ObjectStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TableMapping.cpp
)
