# Builds the PostgreSQL connector as an outside author would: installs the kit into a scratch
# prefix, configures connectors/postgres on its own with find_package(VyConnector CONFIG
# REQUIRED), builds it, and runs the SQLite example's requests with a subscription through the
# installed launcher against a scratch server (stopped at the end, also after a failure).
set(work "${BIN}/postgres-package-test")
include("${SRC}/tests/package/install.cmake")
vy_install_scratch("${work}" prefix)
vy_build_outside("${SRC}/connectors/postgres" "${work}/build" "${prefix}" "the connector")
set(lib "${work}/build/libPostgresConnector.so")
if(NOT EXISTS "${lib}")
  message(FATAL_ERROR "no ${lib}")
endif()
set(scratch "${SRC}/connectors/postgres/example/scratch-server.sh")
execute_process(COMMAND ${scratch} start "${work}/server" RESULT_VARIABLE rc
                OUTPUT_VARIABLE port ERROR_VARIABLE err OUTPUT_STRIP_TRAILING_WHITESPACE)
if(rc EQUAL 2 AND "$ENV{VY_ALLOW_NO_POSTGRES}" STREQUAL "1")
  message("SKIPPED (VY_ALLOW_NO_POSTGRES=1): ${err}")
  return()
elseif(NOT rc EQUAL 0)
  message(FATAL_ERROR "no scratch PostgreSQL server: ${err}")
endif()
set(example "${SRC}/connectors/sqlite/example")
# Run here rather than with vy_expect_launch, so that the server is stopped before a failure.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=VY_BUILD JAVA=${JAVA} "${prefix}/bin/vyagent"
    --lib ${lib} --spec ${example}/orders.spec
    --props ${SRC}/connectors/postgres/example/example.properties
    -P Host=${work}/server -P Port=${port}
    --request ${example}/create.bo --request ${example}/retrieve.bo --subscribe SqlOrder
  WORKING_DIRECTORY "${work}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
execute_process(COMMAND ${scratch} stop "${work}/server")
message("${out}${err}")
set(regex "Create: status 1 .*Retrieve: status 1 .*2 step\\(s\\), 2 as expected.*SqlOrder Create")
if(NOT rc EQUAL 0 OR NOT "${out}${err}" MATCHES "${regex}")
  message(FATAL_ERROR "vyagent: exit status ${rc}, output above should match '${regex}'")
endif()
