# Installs the build into a scratch prefix, then configures and builds a tiny outside connector
# project against it with find_package(VyConnector CONFIG REQUIRED), and runs the installed
# driver launcher with the connector built there: a request, a script, their exit statuses.
include("${SRC}/tests/package/install.cmake")
vy_install_scratch("${BIN}/package-test" prefix)
vy_build_outside("${SRC}/tests/package/consumer" "${BIN}/package-test/build" "${prefix}"
                 "the outside project")
execute_process(COMMAND "${BIN}/package-test/build/consumer_check" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the outside program failed: ${rc}")
endif()

# vy_launch(<expected exit status> <output regex> args...): runs the installed launcher from a
# folder outside the build, with no build folder in the environment.
include("${BIN}/package-test/build/vy_paths.cmake")
function(vy_launch code regex)
  vy_expect_launch("${BIN}/package-test" ${code} "${regex}" "${VY_LAUNCHER}"
                   --lib-dir "${VY_CONNECTOR_DIR}" --lib myconn
                   --spec "${SRC}/tests/package/consumer/order.spec" ${ARGN})
endfunction()
set(consumer "${SRC}/tests/package/consumer")
vy_launch(0 "status 1 \\(success, object returned\\).*  Status = shipped"
          --request "${consumer}/retrieve.bo")
vy_launch(3 "NOT as expected" --request "${consumer}/retrieve.bo" --expect 0)
vy_launch(0 "3 step\\(s\\), 3 as expected" --script "${consumer}/order.script")
vy_launch(1 "unknown option" --no-such-option)
