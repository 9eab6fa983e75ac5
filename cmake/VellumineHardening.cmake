# Hardening of everything the build links. On Linux the flags are Debian's own, as
# dpkg-buildflags gives them with every hardening feature on (fortified functions, the strong
# stack protector, read-only relocations bound at start), plus position-independent programs
# and stack clash protection; only the hardening flags are taken, so the build type still chooses optimisation and debug
# information. On Windows every program gets address-space randomisation and a non-executable
# data area. The sanitizer and fuzzing builds leave it off: fortified functions and the
# sanitizers' interceptors get in each other's way.
option(VELLUMINE_HARDENING "Build with the system's hardening flags" ON)
if(NOT VELLUMINE_HARDENING OR VELLUMINE_FUZZ)
  return()
endif()

if(WIN32)
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  return()
endif()

set(hardening_compile -fstack-protector-strong -Wformat -Werror=format-security -D_FORTIFY_SOURCE=2)
set(hardening_link -Wl,-z,relro -Wl,-z,now)
find_program(VELLUMINE_DPKG_BUILDFLAGS dpkg-buildflags)
if(VELLUMINE_DPKG_BUILDFLAGS)
  set(hardening_compile "")
  set(hardening_link "")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${VELLUMINE_DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # Optimisation, debug information and path mapping stay the build type's.
    list(FILTER flags EXCLUDE REGEX "^(-g.*|-O.*|-f(file|debug|macro)-prefix-map=.*|-Wdate-time)$")
    if(kind STREQUAL LDFLAGS)
      list(APPEND hardening_link ${flags})
    else()
      list(APPEND hardening_compile ${flags})
    endif()
  endforeach()
endif()
# Debian 12's dpkg-buildflags predates stack clash protection, which later releases' flags
# carry. Control-flow protection is left out: Debian 12's own program start-up files lack its
# marks, so the linker drops them from every program and the flag would only cost size.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fstack-clash-protection VELLUMINE_HAS_STACK_CLASH_PROTECTION)
if(VELLUMINE_HAS_STACK_CLASH_PROTECTION)
  list(APPEND hardening_compile -fstack-clash-protection)
endif()
list(REMOVE_DUPLICATES hardening_compile)
add_compile_options(${hardening_compile})
add_link_options(${hardening_link})

include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
