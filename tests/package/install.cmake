# vy_install_scratch(<work folder> <prefix variable>): removes <work folder>, installs the build
# (${BIN}) into <work folder>/prefix and sets <prefix variable> to that prefix. Shared by the
# packaging tests, which build outside projects against the installed kit.
function(vy_install_scratch work out)
  file(REMOVE_RECURSE "${work}")
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BIN}" --prefix "${work}/prefix"
                  RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed: ${rc}")
  endif()
  set(${out} "${work}/prefix" PARENT_SCOPE)
endfunction()
