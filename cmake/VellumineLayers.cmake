# The layers of src/ as build targets. Each layer sees only its own headers and those of the
# layers it links: its include root is a folder of the build's own holding one link named
# after the layer's folder, so "show/ScreenUnit.h" resolves in the show layer and above, and an
# include of a higher layer from a lower one does not compile.

# Warnings for every target of the project's own; as errors when VELLUMINE_WERROR is on (the
# presets turn it on, so CI fails on a new warning on either toolchain).
add_library(vellumine_warnings INTERFACE)
target_compile_options(vellumine_warnings INTERFACE -Wall -Wextra $<$<BOOL:${VELLUMINE_WERROR}>:-Werror>)

set(VELLUMINE_INCLUDE_ROOTS "${CMAKE_BINARY_DIR}/include-roots")

# The folder that holds src/<folder> as <folder>, for the include root named root.
function(vellumine_include_root root folder)
  set(link "${VELLUMINE_INCLUDE_ROOTS}/${root}/${folder}")
  get_filename_component(parent "${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${link}" SYMBOLIC)
endfunction()

# The platform's private headers (src/platform/<platform>/*.h), seen by the platform halves of
# every layer and by the platform's own tests, never by portable code.
vellumine_include_root(platform platform/${VELLUMINE_PLATFORM})

# vellumine_layer(NAME
#   [FOLDERS folder...]            portable sources: every .cpp of each folder (default: NAME)
#   [PLATFORM file...]             the platform half: sources below src/platform/
#   [PUBLIC target...]             layers and libraries the layer's headers expose
#   [PRIVATE target...])           layers and libraries only its sources use
function(vellumine_layer name)
  cmake_parse_arguments(L "" "" "FOLDERS;PLATFORM;PUBLIC;PRIVATE" ${ARGN})
  if(NOT L_FOLDERS)
    set(L_FOLDERS ${name})
  endif()
  set(sources "")
  foreach(folder ${L_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp")
    list(APPEND sources ${found})
  endforeach()
  foreach(file ${L_PLATFORM})
    list(APPEND sources "${PROJECT_SOURCE_DIR}/src/platform/${file}")
  endforeach()
  list(FILTER sources EXCLUDE REGEX "/app/main\\.cpp$")

  add_library(${name} STATIC ${sources})
  list(GET L_FOLDERS 0 top)
  vellumine_include_root(${name} ${top})
  target_include_directories(${name} PUBLIC "${VELLUMINE_INCLUDE_ROOTS}/${name}")
  if(L_PLATFORM)
    target_include_directories(${name} PRIVATE "${VELLUMINE_INCLUDE_ROOTS}/platform")
  endif()
  target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE} vellumine_warnings)

  # Every platform source must belong to exactly one layer; the check below needs the list.
  set_property(GLOBAL APPEND PROPERTY VELLUMINE_PLATFORM_SOURCES ${L_PLATFORM})
endfunction()

# Fails the configuration when a source of the platform's folders belongs to no layer, so a
# new platform file cannot be forgotten (it would otherwise surface as a link error far away).
function(vellumine_check_platform_sources)
  get_property(assigned GLOBAL PROPERTY VELLUMINE_PLATFORM_SOURCES)
  foreach(folder ${ARGN})
    file(GLOB found RELATIVE "${PROJECT_SOURCE_DIR}/src/platform" CONFIGURE_DEPENDS
         "${PROJECT_SOURCE_DIR}/src/platform/${folder}/*.cpp")
    foreach(file ${found})
      if(NOT file IN_LIST assigned)
        message(FATAL_ERROR "src/platform/${file} belongs to no layer: add it to a layer in src/CMakeLists.txt")
      endif()
    endforeach()
  endforeach()
endfunction()
