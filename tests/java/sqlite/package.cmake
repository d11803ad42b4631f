# Builds the SQLite connector as an outside author would: installs the kit into a scratch prefix,
# configures connectors/sqlite on its own with find_package(VyConnector CONFIG REQUIRED), builds
# it, and runs the example's Create and Retrieve through the load driver with the library built
# that way.
set(work "${BIN}/sqlite-package-test")
set(prefix "${work}/prefix")
file(REMOVE_RECURSE "${work}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BIN}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S "${SRC}/connectors/sqlite" -B "${work}/build" -G Ninja
                -DCMAKE_PREFIX_PATH=${prefix} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring the connector against the installed kit failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${work}/build" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building the connector against the installed kit failed: ${rc}")
endif()
set(lib "${work}/build/libSqliteConnector.so")
if(NOT EXISTS "${lib}")
  message(FATAL_ERROR "no ${lib}")
endif()
set(example "${SRC}/connectors/sqlite/example")
foreach(request create retrieve)
  execute_process(
    COMMAND ${JAVA} -Djava.library.path=${prefix}/lib -cp ${AGENT_JAR} vyagent.LoadDriver
      --lib ${lib} --spec ${example}/orders.spec --props ${example}/example.properties
      -P DatabasePath=${work}/example.db --request ${example}/${request}.bo
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("${out}${err}")
  if(NOT rc EQUAL 0 OR NOT out MATCHES "status 1 ")
    message(FATAL_ERROR "the example's ${request}.bo did not succeed")
  endif()
endforeach()
