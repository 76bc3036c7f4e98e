# CPack runs this on the staged files before it packs them: every program is stripped as Debian strips its
# packages' programs (dh_strip), so that neither symbols nor the compilers' notes (.comment) go into the package.
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(_file IN LISTS _files)
  if(IS_SYMLINK "${_file}")
    continue()
  endif()
  file(READ "${_file}" _magic LIMIT 4 HEX)
  if(_magic STREQUAL "7f454c46")
    execute_process(COMMAND "${CPACK_QV_STRIP}" --remove-section=.comment --remove-section=.note --strip-unneeded
                            "${_file}"
                    RESULT_VARIABLE _result)
    if(NOT _result EQUAL 0)
      message(FATAL_ERROR "could not strip ${_file}")
    endif()
  endif()
endforeach()
