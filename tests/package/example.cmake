# The inventory example, built and tested against the installed kit exactly as its README says:
# a connector and its unit tests (test kit, both modes), in an outside project.
include("${SRC}/tests/package/install.cmake")
vy_install_scratch("${BIN}/example-test" prefix)
foreach(step
    "${CMAKE_COMMAND};-S;${SRC}/examples/inventory;-B;${BIN}/example-test/build;-G;Ninja;-DCMAKE_PREFIX_PATH=${prefix}"
    "${CMAKE_COMMAND};--build;${BIN}/example-test/build"
    "${CMAKE_CTEST_COMMAND};--test-dir;${BIN}/example-test/build;--output-on-failure")
  execute_process(COMMAND ${step} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${step}: exit status ${rc}")
  endif()
endforeach()
