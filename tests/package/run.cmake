# Installs the build into a scratch prefix, then configures and builds a tiny outside connector
# project against it with find_package(VyConnector CONFIG REQUIRED).
set(prefix "${BIN}/package-test/prefix")
file(REMOVE_RECURSE "${BIN}/package-test")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BIN}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S "${SRC}/tests/package/consumer" -B "${BIN}/package-test/build"
                -G Ninja -DCMAKE_PREFIX_PATH=${prefix} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring the outside project failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${BIN}/package-test/build" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building the outside project failed: ${rc}")
endif()
execute_process(COMMAND "${BIN}/package-test/build/consumer_check" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the outside program failed: ${rc}")
endif()
