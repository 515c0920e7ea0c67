# What a Linux build installs, as a library of its kind does: arcset with its
# man page (component "tools"), and libbzip2arc.a with its headers, a CMake
# package (find_package(bzip2arc), target bzip2arc::bzip2arc) and a pkg-config
# file (component "dev"). cpack -G DEB packs each component as a Debian
# package of its own: arcset and libbzip2arc-dev.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The headers keep their archive/... paths below a folder of their own, so
# that "archive/bzip2arc.h" is included the same way in and out of this tree.
set(BZ2ARC_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/bzip2arc)
set(BZ2ARC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/bzip2arc)
set(BZ2ARC_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# arcset and its manual, compressed as Debian installs manuals.
set(man_page ${CMAKE_BINARY_DIR}/man/arcset.1)
add_custom_command(OUTPUT ${man_page}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/tools/arcset/arcset.1 ${man_page}
  COMMAND gzip -9nf ${man_page}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/arcset/arcset.1
  VERBATIM)
add_custom_target(arcset_man_page ALL DEPENDS ${man_page}.gz)
install(TARGETS arcset RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

# The library, its headers and its CMake package (INCLUDES for callers whose
# CMake predates header file sets).
install(TARGETS bzip2arc EXPORT bzip2arcTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  FILE_SET HEADERS DESTINATION ${BZ2ARC_INCLUDE_DIR} COMPONENT dev
  INCLUDES DESTINATION ${BZ2ARC_INCLUDE_DIR})
install(EXPORT bzip2arcTargets NAMESPACE bzip2arc:: DESTINATION ${BZ2ARC_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/bzip2arcConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/bzip2arcConfig.cmake INSTALL_DESTINATION ${BZ2ARC_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/bzip2arcConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/bzip2arcConfig.cmake ${CMAKE_BINARY_DIR}/package/bzip2arcConfigVersion.cmake
  DESTINATION ${BZ2ARC_CMAKE_DIR} COMPONENT dev)

# The pkg-config file finds the prefix from its own place, as the CMake package
# does: the prefix given to cmake --install, or cpack's /usr, may differ from
# the one configured.
file(RELATIVE_PATH BZ2ARC_PKGCONFIG_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${BZ2ARC_PKGCONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" BZ2ARC_PKGCONFIG_TO_PREFIX ${BZ2ARC_PKGCONFIG_TO_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/bzip2arc.pc.in ${CMAKE_BINARY_DIR}/package/bzip2arc.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/bzip2arc.pc DESTINATION ${BZ2ARC_PKGCONFIG_DIR} COMPONENT dev)

# Debian packages.
set(BZ2ARC_PACKAGE_CONTACT "bzip2arc maintainers <bzip2arc@example.org>" CACHE STRING
    "Maintainer field of the Debian packages")
set(CPACK_PACKAGE_NAME bzip2arc)
set(CPACK_PACKAGE_CONTACT ${BZ2ARC_PACKAGE_CONTACT})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL tools dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME arcset)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
# Both packages take the project's description as their summary line.
string(CONCAT CPACK_COMPONENT_TOOLS_DESCRIPTION
  "arcset builds the archive sets (setup0.lib, setup1.lib, ...) that the setup\n"
  "loader extracts: bzip2 streams, an enciphered directory, delta patches and\n"
  "volumes of a given size. It also lists, verifies and extracts such sets.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libbzip2arc-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS libbz2-dev)
string(CONCAT CPACK_COMPONENT_DEV_DESCRIPTION
  "The static library libbzip2arc.a, which extracts archive sets (setup0.lib,\n"
  "setup1.lib, ...) as the setup loader does, its C and C++ headers, a CMake\n"
  "package (find_package(bzip2arc)) and a pkg-config file (bzip2arc).")
include(CPack)
