# Documents, manual pages and the Debian package (`make package`: a release
# build and cpack -G DEB in build-package/). The programs, the filter folders
# and the desktop files install from their own folders (app/, gui/).

install(FILES ${VLTRX_ROOT}/docs/vltrx.1 ${VLTRX_ROOT}/docs/vltrx-gui.1 DESTINATION share/man/man1)
# The manual and its pictures install from cmake/Manual.cmake.
install(FILES
    ${VLTRX_ROOT}/docs/gui.md
    ${VLTRX_ROOT}/docs/update.md
    ${VLTRX_ROOT}/README.md
  DESTINATION share/doc/vltrx)
install(DIRECTORY ${VLTRX_ROOT}/docs/formats DESTINATION share/doc/vltrx)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vltrx)
set(CPACK_PACKAGE_VENDOR Kestrava)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Velmora geodata converter for survey and construction-layout data")
set(CPACK_PACKAGE_DESCRIPTION
  "Converts points and polygons between Velmora XML, DXF, CSV, TXT, GSI, REB, REB DA11, SVG and ESRI ASCII grids, with further formats defined by XSLT scripts. vltrx is the command line, vltrx-gui the Qt dialog.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrava <support@kestrava.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.kestrava.com/vltrx")
# The libraries from dpkg-shlibdeps; the XSLT processor that msxsl runs for
# export scripts is a program, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xsltproc")
# shared-mime-info and desktop-file-utils pick up the MIME package and the
# menu entry through their dpkg triggers; xdg-utils opens folders and the
# manual.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, xdg-utils")
include(CPack)
