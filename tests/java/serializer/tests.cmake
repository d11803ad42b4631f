# The serializer across two JVM processes: packed in one, unpacked in a fresh one.
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/../../serializer ${CMAKE_BINARY_DIR}/tests/serializer)
vy_java_test(serializer serializer.SerializerTest)
