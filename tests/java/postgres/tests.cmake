# The PostgreSQL connector against real servers of the tests' own (connectors/postgres/example/
# scratch-server.sh). Without the PostgreSQL binaries these tests fail; VY_ALLOW_NO_POSTGRES=1
# in the environment skips them instead.
if(TARGET PostgresConnector)
  set(VY_PG_SCRATCH ${CMAKE_SOURCE_DIR}/connectors/postgres/example/scratch-server.sh)
  add_dependencies(vytests PostgresConnector)
  vy_java_test(postgres_connector postgres.PgConnectorTest ARGS ${VY_PG_SCRATCH})
  set_tests_properties(java_postgres_connector PROPERTIES SKIP_RETURN_CODE 77
    ENVIRONMENT "VY_PG_OPTS=-c fsync=off")
endif()

# Three agent processes (the load driver) sharing one server, every one polling: each event
# delivered once across them. VY_PG_AGENTS_SECONDS sets the load's length (default 20).
if(TARGET PostgresConnector)
  vy_java_test(postgres_agents postgres.PgAgentsTest
    ARGS ${VY_PG_SCRATCH} ${CMAKE_SOURCE_DIR}/connectors/sqlite/example/orders.spec)
  set_tests_properties(java_postgres_agents PROPERTIES SKIP_RETURN_CODE 77
    ENVIRONMENT "VY_PG_OPTS=-c fsync=off")
endif()

# The connector built from the installed kit alone, then run by the installed load driver.
if(TARGET PostgresConnector)
  add_test(NAME postgres_package
    COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DBIN=${CMAKE_BINARY_DIR}
            -DJAVA=${Java_JAVA_EXECUTABLE} -P ${CMAKE_CURRENT_LIST_DIR}/package.cmake)
  set_tests_properties(postgres_package PROPERTIES TIMEOUT 600
    SKIP_REGULAR_EXPRESSION "SKIPPED \\(VY_ALLOW_NO_POSTGRES=1\\)")
endif()
