# cmake -DSOURCES=<list> -DSTAMP=<file> -P CheckIncludes.cmake
# The include path keeps each library to the layers it links; this refuses the two ways around it: an include
# that climbs out of its folder ("../"), and one that reaches into a sub-folder (another library) relative to
# the including file instead of through the include path.
foreach(_file IN LISTS SOURCES)
  file(STRINGS ${_file} _climbing REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
  if(_climbing)
    message(FATAL_ERROR "${_file} includes a header past its folder: ${_climbing}")
  endif()
  get_filename_component(_dir ${_file} DIRECTORY)
  file(STRINGS ${_file} _nested REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/[^\"]*\"")
  foreach(_line IN LISTS _nested)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" _path "${_line}")
    if(EXISTS ${_dir}/${_path})
      message(FATAL_ERROR "${_file} includes ${_path} beside itself, not through the include path")
    endif()
  endforeach()
endforeach()
file(TOUCH ${STAMP})
