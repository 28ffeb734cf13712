# Setup.exe is linked without the code that nothing in it calls.
#
# GNU ld for Windows keeps every .eh_frame input section (its default script
# says KEEP), and each unwind record refers to its function, so
# --gc-sections keeps every function that has an unwind record, which is all
# of them in C++: one function used from an object of the C++ runtime keeps
# all of that object's stream and locale code. The first link below (the
# "reach" program, never shipped) runs the same objects with the KEEP left
# out and writes which function sections nothing reaches; the real link then
# discards those and their own unwind sections. An unwind record that sits
# in an object's shared .eh_frame and names a discarded function is left
# with a start of zero, which the unwinder skips, as it does for the
# discarded copies of inline functions every link drops.
#
# Only for the 32-bit mingw-w64 build (DWARF unwinding, GNU ld), not for
# Debug builds.

function(tenvik_drop_unreferenced_code target)
  if(NOT MINGW OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4 OR CMAKE_BUILD_TYPE STREQUAL "Debug")
    return()
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-reach)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-prog-name=ld
                  OUTPUT_VARIABLE linker OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${linker} --verbose OUTPUT_VARIABLE verbose RESULT_VARIABLE failed)
  string(FIND "${verbose}" "==================================================" first)
  string(FIND "${verbose}" "==================================================" last REVERSE)
  if(failed OR first EQUAL -1 OR last EQUAL first)
    message(WARNING "No default linker script from ${linker}: ${target} keeps its unreferenced code")
    return()
  endif()
  math(EXPR from "${first} + 50")
  math(EXPR length "${last} - ${from}")
  string(SUBSTRING "${verbose}" ${from} ${length} script)
  string(REPLACE "KEEP(*(.eh_frame*))" "*(.eh_frame*)" reach_script "${script}")
  if(reach_script STREQUAL script)
    message(WARNING "The default linker script keeps .eh_frame differently: ${target} keeps its unreferenced code")
    return()
  endif()
  file(WRITE ${dir}/reach.ld "${reach_script}")

  # The unwinder's own entry, named only by unwind records, must count as used.
  add_executable(${target}_reach WIN32 ${ARGN})
  target_link_libraries(${target}_reach PRIVATE tenvik_windows)
  get_target_property(compile_options ${target} COMPILE_OPTIONS)
  if(compile_options)
    target_compile_options(${target}_reach PRIVATE ${compile_options})
  endif()
  target_link_options(${target}_reach PRIVATE -municode -Wl,-T,${dir}/reach.ld -Wl,-u,___gxx_personality_v0
                      -Wl,-Map,${dir}/reach.map)
  set_target_properties(${target}_reach PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir} LINK_DEPENDS ${dir}/reach.ld)

  add_custom_command(OUTPUT ${dir}/discard.ld
    COMMAND ${CMAKE_COMMAND} -DMAP=${dir}/reach.map -DOUT=${dir}/discard.ld
            -P ${PROJECT_SOURCE_DIR}/cmake/discard-script.cmake
    DEPENDS ${target}_reach ${PROJECT_SOURCE_DIR}/cmake/discard-script.cmake
    COMMENT "Listing the code ${target} never reaches"
    VERBATIM)
  add_custom_target(${target}_discard DEPENDS ${dir}/discard.ld)
  add_dependencies(${target} ${target}_discard)
  target_link_options(${target} PRIVATE -Wl,-T,${dir}/discard.ld)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${dir}/discard.ld)
endfunction()
