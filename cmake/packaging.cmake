# What an installation holds beyond the programs, and the Debian package of
# it: `cpack --preset deb` after a build of the `package` preset
# (tools/package.sh does both from a clean build folder).

install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES cmake/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veskara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Veskara developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# veskara_VERSION_ARCH.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast desktop text search over web pages and PDF documents")
# CPack makes the summary the first line of the package's description and
# indents the rest; an empty line becomes a paragraph break.
set(CPACK_PACKAGE_DESCRIPTION
    "Name a folder and Veskara indexes the words of every web page (.htm, .html,
.php, .shtml) and PDF document under it into a small word index, kept in
the user's data folder. Type words to list every indexed word that begins
with them and the files that hold it, see the lines where they stand, and
open a file with the desktop's application.

The package holds the window program (veskara) and a command-line front
end (veskara-cli) over the same core.")
# The dependencies are those of the programs, of libwpdf and of its engine
# module, as dpkg-shlibdeps reads them; the private folder is where it finds
# libwpdf itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/src/wpdf")
# Opening a file or the README from the window goes through the desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
