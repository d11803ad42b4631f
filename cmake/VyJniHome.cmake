# CMake's FindJNI finds nothing on Debian unless JAVA_HOME is set, and asks for AWT unless told
# otherwise. Derive the JDK home from javac when JAVA_HOME is unset, then look for JNI without AWT.
if(NOT DEFINED ENV{JAVA_HOME} AND NOT JAVA_HOME)
  find_program(VY_JAVAC javac)
  if(VY_JAVAC)
    get_filename_component(_vy_javac_real "${VY_JAVAC}" REALPATH)
    get_filename_component(_vy_jdk_bin "${_vy_javac_real}" DIRECTORY)
    get_filename_component(JAVA_HOME "${_vy_jdk_bin}" DIRECTORY)
    set(ENV{JAVA_HOME} "${JAVA_HOME}")
  endif()
endif()
# An installed package asks for a JDK only for the test kit (VY_JNI_OPTIONAL): a connector
# project configures without one.
if(VY_JNI_OPTIONAL)
  find_package(JNI QUIET COMPONENTS JVM)
  if(NOT JNI_FOUND)
    message(STATUS "VyConnector: no JDK found; VyConnector::Testing (the test kit) needs one")
  endif()
else()
  find_package(JNI REQUIRED COMPONENTS JVM)
endif()
