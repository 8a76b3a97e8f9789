# Installation and the Debian package.
#
#   cmake --install BUILD --prefix PREFIX   puts plmtool and plmconv into PREFIX/bin, the
#                                           manual page, the menu entry and the icon
#                                           under PREFIX/share
#   scripts/package                         builds pallimo_<version>_<arch>.deb with CPack
#
# Test, benchmark and fuzz programs and the example generator are not installed.

include(GNUInstallDirs)

install(TARGETS plmconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET plmtool)
  install(TARGETS plmtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/pallimo.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/pallimo.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Manual pages are installed compressed, as Debian does.
find_program(PLM_GZIP gzip)
if(PLM_GZIP)
  set(_plm_man ${PROJECT_BINARY_DIR}/doc/plmconv.1.gz)
  add_custom_command(OUTPUT ${_plm_man}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
    COMMAND ${PLM_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/doc/plmconv.1 > ${_plm_man}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/plmconv.1
    VERBATIM)
  add_custom_target(plm_manpage ALL DEPENDS ${_plm_man})
else()
  set(_plm_man ${PROJECT_SOURCE_DIR}/doc/plmconv.1)
endif()
install(FILES ${_plm_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian package (cpack -G DEB). The library dependencies are computed by
# dpkg-shlibdeps from the installed programs; Qt's platform plugins are loaded at run
# time, so they and the Japanese font are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pallimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Pallimo maintainers")
set(CPACK_PACKAGE_CONTACT "Pallimo maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "set negative character spacing of JWW and JWS drawing texts to zero")
set(CPACK_PACKAGE_DESCRIPTION
"Pallimo batch-corrects CAD drawings of the JWW family. It finds texts whose
character spacing is negative, sets that spacing to zero and writes corrected
copies into a save folder; everything else in each drawing is kept bit for bit and
the input files are only read. The package holds the window plmtool (Japanese user
interface) and the command-line converter plmconv.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Pallimo maintainers")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
