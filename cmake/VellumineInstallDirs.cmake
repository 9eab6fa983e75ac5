# Where an installation puts each file on Linux: the GNU folders under CMAKE_INSTALL_PREFIX
# (DESTDIR is added by cmake --install). The program goes where XScreenSaver looks for its
# display modules; the documentation folder is named after the package, as Debian has it.
set(CMAKE_INSTALL_DOCDIR share/doc/vellumine CACHE PATH "Documentation folder")
include(GNUInstallDirs)
set(VELLUMINE_MODULE_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
# The example programs of the component layer, reached through links in bin.
set(VELLUMINE_EXAMPLES_DIR ${CMAKE_INSTALL_LIBEXECDIR}/vellumine)
# The documentation folder as seen from the installed program's folder: the About link finds
# the installed README this way, wherever the prefix (or DESTDIR) put the tree.
file(RELATIVE_PATH VELLUMINE_DOC_FROM_PROGRAM ${CMAKE_INSTALL_FULL_LIBEXECDIR}/xscreensaver ${CMAKE_INSTALL_FULL_DOCDIR})
string(APPEND VELLUMINE_DOC_FROM_PROGRAM /)
