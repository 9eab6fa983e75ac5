# The layers of src/ as build targets: one folder is one library. Each layer sees only its own
# headers and those of the layers it links: its include root is a folder of the build's own
# holding one link named after the layer's folder, so "show/ScreenUnit.h" resolves in the show
# layer and above, and an include of a higher layer from a lower one does not compile.

# Warnings for every target of the project's own; as errors when VELLUMINE_WERROR is on (the
# presets turn it on, so CI fails on a new warning on either toolchain).
add_library(vellumine_warnings INTERFACE)
target_compile_options(vellumine_warnings INTERFACE -Wall -Wextra $<$<BOOL:${VELLUMINE_WERROR}>:-Werror>)

set(VELLUMINE_INCLUDE_ROOTS "${CMAKE_BINARY_DIR}/include-roots")
# The platform folders a layer may have; only the one of the target being built is compiled.
set(VELLUMINE_PLATFORMS x11 win32)

# The folder that holds src/<folder> as <folder>, for the include root named root.
function(vellumine_include_root root folder)
  set(link "${VELLUMINE_INCLUDE_ROOTS}/${root}/${folder}")
  get_filename_component(parent "${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${link}" SYMBOLIC)
endfunction()

# vellumine_layer(NAME
#   [PUBLIC target...]             layers and libraries the layer's headers expose
#   [PRIVATE target...])           layers and libraries only its sources use
# The sources are every .cpp below src/NAME: its portable files, its portable sub-folders, and
# its platform sub-folder (src/NAME/x11 or src/NAME/win32) for the target being built.
function(vellumine_layer name)
  cmake_parse_arguments(L "" "" "PUBLIC;PRIVATE" ${ARGN})
  set(folder "${PROJECT_SOURCE_DIR}/src/${name}")
  file(GLOB_RECURSE sources RELATIVE "${folder}" CONFIGURE_DEPENDS "${folder}/*.cpp")
  foreach(platform ${VELLUMINE_PLATFORMS})
    if(NOT platform STREQUAL VELLUMINE_PLATFORM)
      list(FILTER sources EXCLUDE REGEX "(^|/)${platform}/")
    endif()
  endforeach()
  list(FILTER sources EXCLUDE REGEX "^main\\.cpp$")
  list(TRANSFORM sources PREPEND "${folder}/")

  add_library(${name} STATIC ${sources})
  vellumine_include_root(${name} ${name})
  target_include_directories(${name} PUBLIC "${VELLUMINE_INCLUDE_ROOTS}/${name}")
  target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE} vellumine_warnings)
endfunction()
