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

# vy_build_outside(<source> <build> <prefix> <what>): configures <source> into <build> with
# Ninja against the kit installed in <prefix>, and builds it; fails naming <what> if either step
# does.
function(vy_build_outside source build prefix what)
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${source}" -B "${build}" -G Ninja
                  -DCMAKE_PREFIX_PATH=${prefix} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring ${what} against the installed kit failed: ${rc}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build "${build}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building ${what} against the installed kit failed: ${rc}")
  endif()
endfunction()

# vy_expect_launch(<folder> <expected exit status> <output regex> <launcher> args...): runs an
# installed driver launcher in <folder>, with no build folder in the environment, prints what it
# wrote and fails unless it exits with the status and its output matches the regex.
function(vy_expect_launch folder code regex launcher)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=VY_BUILD ${launcher} ${ARGN}
                  WORKING_DIRECTORY "${folder}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("${out}${err}")
  if(NOT rc STREQUAL code OR NOT "${out}${err}" MATCHES "${regex}")
    message(FATAL_ERROR "vyagent ${ARGN}: exit status ${rc} (expected ${code}), output above "
                        "should match '${regex}'")
  endif()
endfunction()
