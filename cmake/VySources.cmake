# vy_glob_sources(<variable> <folder>...): sets <variable> to the .cpp files of the folders, each
# relative to the current source folder unless absolute; new files are picked up at the next build.
function(vy_glob_sources out)
  set(patterns)
  foreach(folder ${ARGN})
    if(NOT IS_ABSOLUTE "${folder}")
      set(folder "${CMAKE_CURRENT_SOURCE_DIR}/${folder}")
    endif()
    list(APPEND patterns "${folder}/*.cpp")
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
