# Installs the build into a scratch prefix, then configures and builds a tiny outside connector
# project against it with find_package(VyConnector CONFIG REQUIRED), and runs the installed
# driver launcher with the connector built there: a request, a script, their exit statuses.
include("${SRC}/tests/package/install.cmake")
vy_install_scratch("${BIN}/package-test" prefix)
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

# vy_launch(<expected exit status> <output regex> args...): runs the installed launcher from a
# folder outside the build, with no build folder in the environment.
include("${BIN}/package-test/build/vy_paths.cmake")
function(vy_launch code regex)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=VY_BUILD "${VY_LAUNCHER}"
                    --lib-dir "${VY_CONNECTOR_DIR}" --lib myconn
                    --spec "${SRC}/tests/package/consumer/order.spec" ${ARGN}
                  WORKING_DIRECTORY "${BIN}/package-test"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("${out}${err}")
  if(NOT rc STREQUAL code OR NOT "${out}${err}" MATCHES "${regex}")
    message(FATAL_ERROR "vyagent ${ARGN}: exit status ${rc} (expected ${code}), output above "
                        "should match '${regex}'")
  endif()
endfunction()
set(consumer "${SRC}/tests/package/consumer")
vy_launch(0 "status 1 \\(success, object returned\\).*  Status = shipped"
          --request "${consumer}/retrieve.bo")
vy_launch(3 "NOT as expected" --request "${consumer}/retrieve.bo" --expect 0)
vy_launch(0 "3 step\\(s\\), 3 as expected" --script "${consumer}/order.script")
vy_launch(1 "unknown option" --no-such-option)
