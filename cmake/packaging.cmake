# What `cmake --install` puts where, and the .deb that CPack makes of it: the
# packer built for this machine in bin/, and Setup.exe as the stub that the
# packer stamps a payload into in share/tenvik/.
include(GNUInstallDirs)

install(PROGRAMS ${CMAKE_BINARY_DIR}/host-tools/tenvik-pack DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS $<TARGET_FILE:Setup> DESTINATION ${CMAKE_INSTALL_DATADIR}/tenvik)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tenvik-setup)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tenvik-setup)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tenvik-setup)
set(CPACK_PACKAGE_VENDOR "${TENVIK_PRODUCT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Windows setup bootstrapper for .NET 6 installers, and the tool that builds it")
set(CPACK_PACKAGE_CONTACT "Tenvik Setup developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The packer is a program of the build machine, not of the Windows target the
# rest of this build is made for.
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE host_architecture
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(host_architecture)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${host_architecture})
endif()
set(CPACK_SYSTEM_NAME ${host_architecture})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, zlib1g, libssl3")  # libcrypto: installer signatures
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "osslsigncode")
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_${host_architecture}")
include(CPack)
