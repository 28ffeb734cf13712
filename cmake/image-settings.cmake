# The settings resource (RT_RCDATA 103) and the bundled runtime installers
# (RT_RCDATA 201 to 204) of an image, as src/launcher/image_settings.h reads
# them. Setup.exe's build and the test builds of other images use the same
# functions, so every image's settings are written in one place.

# A rule as the program's parser reads it: framework, then a major of 1 to 999
# or a lowest version MAJOR.MINOR.PATCH with components of up to 9 digits.
set(_tenvik_component "[0-9][0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?")
set(TENVIK_RUNTIME_RULE_REGEX
    "^(desktop|base|desktop\\+base):[1-9][0-9]?[0-9]?(\\.${_tenvik_component}\\.${_tenvik_component})?$")

function(tenvik_check_runtime_rule rule)
  if(NOT rule MATCHES "${TENVIK_RUNTIME_RULE_REGEX}")
    message(FATAL_ERROR "TENVIK_RUNTIME is \"${rule}\": a rule is desktop, base or desktop+base, a colon, "
                        "and a major version (1 to 999) or a lowest version MAJOR.MINOR.PATCH, "
                        "e.g. desktop:10, base:10.0.2 or desktop+base:6")
  endif()
endfunction()

# Writes the settings text to output; it is rewritten only when it changes.
# progress_window (optional, a CMake boolean) turns the progress window on.
function(tenvik_write_image_settings output runtime)
  tenvik_check_runtime_rule("${runtime}")
  set(window off)
  if(ARGC GREATER 2 AND ARGV2)
    set(window on)
  endif()
  file(CONFIGURE OUTPUT "${output}" CONTENT "runtime=${runtime}\nprogress-window=${window}\n" @ONLY)
endfunction()

# Reads a list of framework:arch=FILE entries (desktop or base; x64 or x86;
# a relative FILE is taken from the build directory) into out_lines, the
# resource script lines that embed each file as its resource, and out_files,
# the files themselves.
function(tenvik_bundled_installer_resources entries out_lines out_files)
  set(ids_desktop_x64 201)
  set(ids_desktop_x86 202)
  set(ids_base_x64 203)
  set(ids_base_x86 204)
  set(lines "")
  set(files "")
  set(seen "")
  foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "^(desktop|base):(x64|x86)=(.+)$")
      message(FATAL_ERROR "TENVIK_RUNTIME_INSTALLERS entry \"${entry}\" is not framework:arch=FILE "
                          "(framework desktop or base, arch x64 or x86)")
    endif()
    set(kind "${CMAKE_MATCH_1}_${CMAKE_MATCH_2}")
    set(file "${CMAKE_MATCH_3}")
    if(kind IN_LIST seen)
      message(FATAL_ERROR "TENVIK_RUNTIME_INSTALLERS names ${CMAKE_MATCH_1}:${CMAKE_MATCH_2} twice")
    endif()
    list(APPEND seen ${kind})
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_BINARY_DIR}")
    string(FIND "${file}" "\"" quote)
    if(NOT quote EQUAL -1)
      message(FATAL_ERROR "TENVIK_RUNTIME_INSTALLERS: the path ${file} holds a double quote")
    endif()
    string(APPEND lines "${ids_${kind}} RCDATA \"${file}\"\n")
    list(APPEND files "${file}")
  endforeach()
  set(${out_lines} "${lines}" PARENT_SCOPE)
  set(${out_files} "${files}" PARENT_SCOPE)
endfunction()
