# Checks a freshly compiled MOXELD.chm before it is copied next to the program.
# The compiler can exit with 0 and still leave an empty or partial file, so the
# build looks at the result itself.
#
#   cmake -DCHM=<file> -DPAGES=<a.html,b.html,...> [-DEXTRACTOR=<extract_chmLib>
#         -DSOURCE_DIR=<dir> -DWORK_DIR=<dir>] -P CheckChm.cmake
#
# Always: the file exists, is not tiny, starts with the "ITSF" signature of
# version 3, and its directory names every page. With an extractor: every page
# unpacks and equals its source byte for byte.

if(NOT DEFINED CHM OR NOT DEFINED PAGES)
  message(FATAL_ERROR "CheckChm.cmake needs -DCHM=... and -DPAGES=...")
endif()
if(NOT EXISTS "${CHM}")
  message(FATAL_ERROR "The help compiler wrote no ${CHM}")
endif()

file(SIZE "${CHM}" chm_size)
if(chm_size LESS 4096)
  message(FATAL_ERROR "${CHM} is only ${chm_size} bytes: the help compiler failed")
endif()

# Header: "ITSF" then the format version as a little-endian 32-bit 3.
file(READ "${CHM}" chm_header LIMIT 8 HEX)
if(NOT chm_header STREQUAL "4954534603000000")
  message(FATAL_ERROR "${CHM} has no valid compiled-help header (got ${chm_header})")
endif()

string(REPLACE "," ";" page_list "${PAGES}")
file(STRINGS "${CHM}" chm_strings)
foreach(page IN LISTS page_list)
  string(FIND "${chm_strings}" "/${page}" where)
  if(where EQUAL -1)
    message(FATAL_ERROR "${CHM} does not contain ${page}")
  endif()
endforeach()

if(EXTRACTOR)
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
  execute_process(COMMAND "${EXTRACTOR}" "${CHM}" "${WORK_DIR}"
                  RESULT_VARIABLE extract_result OUTPUT_QUIET ERROR_QUIET)
  if(NOT extract_result EQUAL 0)
    message(FATAL_ERROR "${EXTRACTOR} could not unpack ${CHM}")
  endif()
  foreach(page IN LISTS page_list)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                            "${SOURCE_DIR}/${page}" "${WORK_DIR}/${page}"
                    RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      message(FATAL_ERROR "${page} unpacked from ${CHM} differs from its source")
    endif()
  endforeach()
  file(REMOVE_RECURSE "${WORK_DIR}")
endif()

list(LENGTH page_list page_count)
message(STATUS "MOXELD.chm checked: ${chm_size} bytes, ${page_count} pages")
