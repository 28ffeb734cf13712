# The settings resource (RT_RCDATA 103) and the bundled runtime installers
# (RT_RCDATA 201 to 204) of an image, as src/settings/image_settings.h reads
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

# The other settings, checked as the program reads them
# (src/settings/image_settings.h): a download source of "vendor" or
# http(s)://host[:port]; a product word of ASCII letters, digits, ".", "-"
# and "_"; a signer without line breaks; whole numbers within their bounds.
function(tenvik_check_image_settings)
  cmake_parse_arguments(ARG "" "DOWNLOAD;PRODUCT;INSTALLER_SIGNER" "" ${ARGN})
  string(TOLOWER "${ARG_DOWNLOAD}" download_lower)
  if(NOT ARG_DOWNLOAD STREQUAL "vendor"
     AND NOT download_lower MATCHES "^https?://[a-z0-9._-]+(:[0-9]+)?/?$")
    message(FATAL_ERROR "TENVIK_DOWNLOAD_BASE is \"${ARG_DOWNLOAD}\": it is vendor (the runtime vendor's own "
                        "addresses) or https://host[:port] (http:// for a loopback test server), nothing after "
                        "the host and port")
  endif()
  if(download_lower MATCHES "^https?://[^:/]*:([0-9]+)")
    if(CMAKE_MATCH_1 GREATER 65535)
      message(FATAL_ERROR "TENVIK_DOWNLOAD_BASE \"${ARG_DOWNLOAD}\" names a port above 65535")
    endif()
  endif()
  if(download_lower MATCHES "^http://"
     AND NOT download_lower MATCHES "^http://(127\\.0\\.0\\.1|localhost)(:[0-9]*)?/?$")
    message(WARNING "TENVIK_DOWNLOAD_BASE \"${ARG_DOWNLOAD}\" is plain HTTP to a host that is not "
                    "loopback: the installers then travel in the clear and only their signature protects them")
  endif()
  string(TOUPPER "${ARG_PRODUCT}" product_upper)
  string(LENGTH "${ARG_PRODUCT}" product_length)
  if(NOT ARG_PRODUCT MATCHES "^[A-Za-z0-9][A-Za-z0-9._-]*$" OR ARG_PRODUCT MATCHES "\\.$"
     OR product_length GREATER 64 OR product_upper MATCHES "^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])(\\..*)?$")
    message(FATAL_ERROR "TENVIK_PRODUCT is \"${ARG_PRODUCT}\": a product word is 1 to 64 ASCII letters, digits, "
                        "\".\", \"-\" and \"_\", starts with a letter or digit, does not end with \".\" and is no "
                        "device name such as CON")
  endif()
  string(LENGTH "${ARG_INSTALLER_SIGNER}" signer_length)
  if(ARG_INSTALLER_SIGNER MATCHES "[\r\n\t]" OR signer_length GREATER 256)
    message(FATAL_ERROR "TENVIK_INSTALLER_SIGNER is a name of at most 256 characters without control characters")
  endif()
endfunction()

# A setting that is a whole number from lowest to highest, or a fatal error.
function(tenvik_check_number name value lowest highest unit)
  if(NOT value MATCHES "^[0-9]+$" OR value LESS lowest OR value GREATER highest)
    message(FATAL_ERROR "${name} must be a whole number of ${unit} from ${lowest} to ${highest}")
  endif()
endfunction()

# The values of an image's settings in prefix_RUNTIME, prefix_PROGRESS_WINDOW,
# prefix_DOWNLOAD, prefix_PRODUCT, prefix_INSTALLER_SIGNER,
# prefix_INSTALLER_WAIT, prefix_DOWNLOAD_LIMIT, prefix_RUN_WAIT and
# prefix_INSTALLER_BUSY_PAUSE_MS, each checked; a fatal error names the first
# that the program would refuse. Each defaults to its build setting
# (TENVIK_RUNTIME, TENVIK_PROGRESS_WINDOW, TENVIK_DOWNLOAD_BASE,
# TENVIK_PRODUCT, TENVIK_INSTALLER_SIGNER, TENVIK_INSTALLER_WAIT_SECONDS,
# TENVIK_DOWNLOAD_LIMIT_SECONDS, TENVIK_RUN_WAIT_SECONDS,
# TENVIK_INSTALLER_BUSY_PAUSE_MS); the rest of the arguments name the ones
# that differ (KEY value ...).
function(tenvik_image_settings_values prefix)
  set(keys RUNTIME PROGRESS_WINDOW DOWNLOAD PRODUCT INSTALLER_SIGNER INSTALLER_WAIT DOWNLOAD_LIMIT RUN_WAIT
           INSTALLER_BUSY_PAUSE_MS)
  cmake_parse_arguments(ARG "" "${keys}" "" ${ARGN})
  set(defaults "${TENVIK_RUNTIME}" "${TENVIK_PROGRESS_WINDOW}" "${TENVIK_DOWNLOAD_BASE}" "${TENVIK_PRODUCT}"
               "${TENVIK_INSTALLER_SIGNER}" "${TENVIK_INSTALLER_WAIT_SECONDS}" "${TENVIK_DOWNLOAD_LIMIT_SECONDS}"
               "${TENVIK_RUN_WAIT_SECONDS}" "${TENVIK_INSTALLER_BUSY_PAUSE_MS}")
  foreach(key IN LISTS keys)
    list(POP_FRONT defaults default)
    if(NOT DEFINED ARG_${key})
      set(ARG_${key} "${default}")
    endif()
    set(${prefix}_${key} "${ARG_${key}}" PARENT_SCOPE)
  endforeach()
  tenvik_check_runtime_rule("${ARG_RUNTIME}")
  tenvik_check_image_settings(DOWNLOAD "${ARG_DOWNLOAD}" PRODUCT "${ARG_PRODUCT}"
                              INSTALLER_SIGNER "${ARG_INSTALLER_SIGNER}")
  tenvik_check_number(TENVIK_INSTALLER_WAIT_SECONDS "${ARG_INSTALLER_WAIT}" 1 86400 seconds)
  tenvik_check_number(TENVIK_DOWNLOAD_LIMIT_SECONDS "${ARG_DOWNLOAD_LIMIT}" 1 86400 seconds)
  tenvik_check_number(TENVIK_RUN_WAIT_SECONDS "${ARG_RUN_WAIT}" 1 86400 seconds)
  tenvik_check_number(TENVIK_INSTALLER_BUSY_PAUSE_MS "${ARG_INSTALLER_BUSY_PAUSE_MS}" 0 600000 milliseconds)
endfunction()

# Writes the settings text to output, every key, in the order the packer
# writes them; it is rewritten only when it changes. The values are those of
# tenvik_image_settings_values: the build settings, or the ones named after
# output (the test builds of other images).
function(tenvik_write_image_settings output)
  tenvik_image_settings_values(ARG ${ARGN})
  set(window off)
  if(ARG_PROGRESS_WINDOW)
    set(window on)
  endif()
  file(CONFIGURE OUTPUT "${output}" CONTENT
       "runtime=${ARG_RUNTIME}\nprogress-window=${window}\ndownload=${ARG_DOWNLOAD}\nproduct=${ARG_PRODUCT}
installer-signer=${ARG_INSTALLER_SIGNER}\ninstaller-wait=${ARG_INSTALLER_WAIT}\ndownload-limit=${ARG_DOWNLOAD_LIMIT}
run-wait=${ARG_RUN_WAIT}\ninstaller-busy-pause-ms=${ARG_INSTALLER_BUSY_PAUSE_MS}\n")
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
