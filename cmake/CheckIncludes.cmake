# cmake -DSOURCES=<list> -DABOVE_DRIVER=<list> -DPREFIXES=<list> -DSTAMP=<file> -P CheckIncludes.cmake
# The include path keeps each library to the layers it links; this refuses what it cannot:
# - in every source: an include that climbs out of its folder ("../"), and one that reaches into a sub-folder
#   (another library) relative to the including file instead of through the include path;
# - in the sources above the driver layer (ABOVE_DRIVER): any header but the project's own (beside the file, or
#   under one of the PREFIXES the libraries publish), the C++ library's, the C library's and Qt's. The system's
#   headers (POSIX, Linux, libftdi, libusb) all lie in the one folder the compiler searches for every library, so
#   only this check keeps them to the driver layer.
cmake_minimum_required(VERSION 3.25)

# The headers of the C library, which C++ has too (as <cstdint> and as <stdint.h>).
set(_c_library assert.h complex.h ctype.h errno.h fenv.h float.h inttypes.h iso646.h limits.h locale.h math.h
    setjmp.h signal.h stdalign.h stdarg.h stdatomic.h stdbool.h stddef.h stdint.h stdio.h stdlib.h stdnoreturn.h
    string.h tgmath.h threads.h time.h uchar.h wchar.h wctype.h)

# True in out when header, as the include names it, is one a layer above the driver layer may include.
function(_above_driver_may header dir out)
  set(${out} TRUE PARENT_SCOPE)
  # The project's own.
  string(REGEX REPLACE "/.*" "" _top "${header}")
  if(EXISTS ${dir}/${header} OR (header MATCHES "/" AND _top IN_LIST PREFIXES))
    return()
  endif()
  # The C++ library's (<vector>, <cstdint>) and Qt's classes (<QString>): names without a folder or an ending;
  # Qt's by module (<QtCore/QString>), of which the include path lets each layer reach only the modules it links.
  if(header MATCHES "^[A-Za-z0-9_]+$" OR header MATCHES "^Qt[A-Za-z]+/[A-Za-z0-9_.]+$" OR header IN_LIST _c_library)
    return()
  endif()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

set(_failures)
foreach(_file IN LISTS SOURCES)
  file(STRINGS ${_file} _climbing REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
  if(_climbing)
    list(APPEND _failures "${_file} includes a header past its folder: ${_climbing}")
  endif()
  get_filename_component(_dir ${_file} DIRECTORY)
  file(STRINGS ${_file} _nested REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/[^\"]*\"")
  foreach(_line IN LISTS _nested)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" _path "${_line}")
    if(EXISTS ${_dir}/${_path})
      list(APPEND _failures "${_file} includes ${_path} beside itself, not through the include path")
    endif()
  endforeach()
  if(_file IN_LIST ABOVE_DRIVER)
    file(STRINGS ${_file} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]+[\">]")
    foreach(_line IN LISTS _includes)
      string(REGEX REPLACE "^[^\"<]*[\"<]([^\">]+)[\">].*$" "\\1" _header "${_line}")
      _above_driver_may("${_header}" ${_dir} _may)
      if(NOT _may)
        list(APPEND _failures "${_file} includes <${_header}>, which only the driver layer (src/platform) may \
include: above it, the C and C++ libraries' headers, Qt's and the project's own")
      endif()
    endforeach()
  endif()
endforeach()
if(_failures)
  list(JOIN _failures "\n" _text)
  message(FATAL_ERROR "${_text}")
endif()
file(TOUCH ${STAMP})
