# Builds the SQLite connector as an outside author would: installs the kit into a scratch prefix,
# configures connectors/sqlite on its own with find_package(VyConnector CONFIG REQUIRED), builds
# it, and runs the example's requests, a script and a subscription through the installed driver
# launcher with the library built that way.
set(work "${BIN}/sqlite-package-test")
include("${SRC}/tests/package/install.cmake")
vy_install_scratch("${work}" prefix)
vy_build_outside("${SRC}/connectors/sqlite" "${work}/build" "${prefix}" "the connector")
set(lib "${work}/build/libSqliteConnector.so")
if(NOT EXISTS "${lib}")
  message(FATAL_ERROR "no ${lib}")
endif()
set(example "${SRC}/connectors/sqlite/example")
# The installed launcher, run from outside the build with no build folder in the environment.
function(vy_launch code regex)
  vy_expect_launch("${work}" ${code} "${regex}" "JAVA=${JAVA};${prefix}/bin/vyagent"
                   --lib ${lib} --spec ${example}/orders.spec --props ${example}/example.properties
                   -P DatabasePath=${work}/example.db ${ARGN})
endfunction()
# Create then Retrieve in one process; the Create's event reaches the subscription.
vy_launch(0 "Create: status 1 .*Retrieve: status 1 .*2 step\\(s\\), 2 as expected.*SqlOrder Create"
          --request ${example}/create.bo --request ${example}/retrieve.bo --subscribe SqlOrder)
# A script with its expected statuses, events printed readably.
vy_launch(0 "7 step\\(s\\), 7 as expected.*object SqlOrder verb=Create"
          --script ${SRC}/tests/java/sqlite/orders.script --subscribe SqlOrder)
# A request that misses its status: exit 3.
vy_launch(3 "NOT as expected" --request ${example}/delete.bo --request ${example}/retrieve.bo)
# A connector library the launcher cannot find: exit 1 with the reason.
vy_launch(1 "no libNoSuchConnector.so" --lib NoSuchConnector)
