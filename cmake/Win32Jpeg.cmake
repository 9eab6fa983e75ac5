# libjpeg for the Windows build. Placeholder until the cross-built library arrives: an
# interface target with nothing in it, so that the rest of the build configures.
if(NOT TARGET JPEG::JPEG)
  add_library(JPEG::JPEG INTERFACE IMPORTED)
endif()
