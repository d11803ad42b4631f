# vy_add_connector_test(<name> CONNECTOR <library target> SOURCES <files...> [LIBRARIES <libs...>])
#
# A test program for a connector, written with the test kit (VyConnector::Testing) and
# registered with CTest. The program is compiled with VY_CONNECTOR_LIBRARY, the full path of the
# connector library, so a test opens it in either mode:
#   vy::testing::Connector::inProcess(VY_CONNECTOR_LIBRARY)   // no JVM
#   vy::testing::Connector::inJvm(VY_CONNECTOR_LIBRARY)       // the real entry points in a JVM
# Add GTest::gtest_main (or your framework's) to LIBRARIES; the kit itself needs none.
function(vy_add_connector_test name)
  cmake_parse_arguments(VCT "" "CONNECTOR" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT VCT_CONNECTOR OR NOT VCT_SOURCES)
    message(FATAL_ERROR "vy_add_connector_test(${name}): CONNECTOR and SOURCES are required")
  endif()
  add_executable(${name} ${VCT_SOURCES})
  target_link_libraries(${name} PRIVATE VyConnector::Testing ${VCT_LIBRARIES})
  target_compile_definitions(${name} PRIVATE
    VY_CONNECTOR_LIBRARY="$<TARGET_FILE:${VCT_CONNECTOR}>")
  add_dependencies(${name} ${VCT_CONNECTOR})
  add_test(NAME ${name} COMMAND ${name})
endfunction()
