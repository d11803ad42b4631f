vy_java_test(sqlite_connector sqlite.SqliteConnectorTest)
add_dependencies(vytests SqliteConnector)

# The connector built from the installed kit alone, then run by the load driver.
add_test(NAME sqlite_package
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DBIN=${CMAKE_BINARY_DIR}
          -DJAVA=${Java_JAVA_EXECUTABLE} -DAGENT_JAR=${VY_AGENT_JAR}
          -P ${CMAKE_CURRENT_LIST_DIR}/package.cmake)
set_tests_properties(sqlite_package PROPERTIES TIMEOUT 600)

# The driver run as a user runs it: scripts, requests in order, subscriptions, exit statuses.
vy_java_test(sqlite_driver sqlite.DriverRunTest
  ARGS ${CMAKE_SOURCE_DIR}/connectors/sqlite/example ${CMAKE_CURRENT_LIST_DIR})

# The database full, read-only, locked past the busy timeout and corrupt at start.
vy_java_test(sqlite_faults sqlite.SqliteFaultTest)

# Killed with SIGKILL in the middle of a load of Creates and Updates, then started again.
vy_java_test(sqlite_crash sqlite.SqliteCrashTest)
