# libjpeg for the Windows build: libjpeg-turbo cross-built from Debian's source package by
# scripts/build-win32-libjpeg, once, at configure time, into a folder all Windows builds of
# this checkout share. Nothing of it is committed.
set(VELLUMINE_WIN32_JPEG_PREFIX "${PROJECT_SOURCE_DIR}/build/win32-deps/libjpeg"
    CACHE PATH "Where the cross-built static libjpeg is installed")

set(_vellumine_jpeg_library "${VELLUMINE_WIN32_JPEG_PREFIX}/lib/libjpeg.a")
if(NOT EXISTS "${_vellumine_jpeg_library}" OR NOT EXISTS "${VELLUMINE_WIN32_JPEG_PREFIX}/include/jpeglib.h")
  message(STATUS "Cross-building libjpeg-turbo into ${VELLUMINE_WIN32_JPEG_PREFIX}")
  execute_process(
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/build-win32-libjpeg" "${VELLUMINE_WIN32_JPEG_PREFIX}"
    RESULT_VARIABLE _vellumine_jpeg_result)
  if(NOT _vellumine_jpeg_result EQUAL 0)
    message(FATAL_ERROR "scripts/build-win32-libjpeg failed (${_vellumine_jpeg_result})")
  endif()
endif()

if(NOT TARGET JPEG::JPEG)
  add_library(JPEG::JPEG STATIC IMPORTED)
  set_target_properties(JPEG::JPEG PROPERTIES
    IMPORTED_LOCATION "${_vellumine_jpeg_library}"
    INTERFACE_INCLUDE_DIRECTORIES "${VELLUMINE_WIN32_JPEG_PREFIX}/include")
endif()
