# The version resources of setup.exe and bzip2arc.dll. A vendor who builds
# the loader for a product sets these (cmake -D...=...); docs/medium.md.
set(BZ2ARC_COMPANY_NAME "Your Company" CACHE STRING "CompanyName of setup.exe and bzip2arc.dll")
set(BZ2ARC_PRODUCT_NAME "Corvane setup" CACHE STRING "ProductName of setup.exe and bzip2arc.dll")
set(BZ2ARC_PRODUCT_VERSION "${PROJECT_VERSION}.0" CACHE STRING "ProductVersion, four numbers: 1.2.3.4")
set(BZ2ARC_FILE_VERSION "${PROJECT_VERSION}.0" CACHE STRING "FileVersion, four numbers: 1.2.3.4")
set(BZ2ARC_LOADER_DESCRIPTION "Setup loader" CACHE STRING "FileDescription of setup.exe")
set(BZ2ARC_COPYRIGHT "" CACHE STRING "LegalCopyright of setup.exe and bzip2arc.dll")
set(BZ2ARC_LIBRARY_DESCRIPTION "Archive library of the setup loader")

# "1.2.3.4" as the resource's "1,2,3,4"; anything else stops the build.
function(bz2arc_version_numbers version result)
  if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "version '${version}' is not four numbers such as 1.2.3.4")
  endif()
  foreach(part IN ITEMS ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
    if(part GREATER 65535)
      message(FATAL_ERROR "version '${version}': ${part} is above 65535")
    endif()
  endforeach()
  string(REPLACE "." "," numbers "${version}")
  set(${result} ${numbers} PARENT_SCOPE)
endfunction()

# Text in a resource script's string: backslashes and quotes escaped.
function(bz2arc_rc_text text result)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

# Writes OUTPUT, the resource script of the version resource of FILE_NAME
# (TYPE 1 for a program, 2 for a DLL) described as DESCRIPTION.
function(bz2arc_version_resource output file_name type description)
  bz2arc_version_numbers("${BZ2ARC_FILE_VERSION}" BZ2ARC_VI_FILE_VERSION_NUMBERS)
  bz2arc_version_numbers("${BZ2ARC_PRODUCT_VERSION}" BZ2ARC_VI_PRODUCT_VERSION_NUMBERS)
  bz2arc_rc_text("${BZ2ARC_COMPANY_NAME}" BZ2ARC_VI_COMPANY_NAME)
  bz2arc_rc_text("${BZ2ARC_PRODUCT_NAME}" BZ2ARC_VI_PRODUCT_NAME)
  bz2arc_rc_text("${BZ2ARC_COPYRIGHT}" BZ2ARC_VI_COPYRIGHT)
  bz2arc_rc_text("${description}" BZ2ARC_VI_DESCRIPTION)
  set(BZ2ARC_VI_FILE_NAME ${file_name})
  get_filename_component(BZ2ARC_VI_INTERNAL_NAME ${file_name} NAME_WLE)
  set(BZ2ARC_VI_FILE_TYPE ${type})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${output} @ONLY)
endfunction()
