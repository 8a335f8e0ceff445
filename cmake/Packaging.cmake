# The Debian package (`cpack -G DEB` in the build folder): the viewer, tessaro-cli,
# Plotwick, the stand-in host and the add-in with their desktop entries, file types,
# thumbnailer, icons, guide and manual pages.
include(GNUInstallDirs)

# Manual pages go in compressed, as Debian's policy asks.
set(manual_pages tessaro tessaro-cli plotwick exportal-host)
foreach(page ${manual_pages})
    set(source ${PROJECT_SOURCE_DIR}/resources/man/${page}.1)
    set(packed ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${packed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND gzip -9nc ${source} > ${packed}
        DEPENDS ${source} VERBATIM)
    list(APPEND packed_pages ${packed})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${packed_pages})
install(FILES ${packed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/plotwick.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Whoever made the commit being packaged maintains the package unless the build
# names someone else.
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 "--format=%an <%ae>"
    OUTPUT_VARIABLE last_author OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT last_author)
    set(last_author "Tessaro developers <tessaro@users.noreply.invalid>")
endif()
set(TESSARO_PACKAGE_MAINTAINER "${last_author}" CACHE STRING "Maintainer of the Debian package")

# Debian wants its own copyright and changelog files beside the guide.
set(debian_doc ${CMAKE_INSTALL_DATADIR}/doc/tessaro)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${debian_doc})
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in
    ${PROJECT_BINARY_DIR}/changelog @ONLY)
set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/changelog > ${changelog}
    DEPENDS ${PROJECT_BINARY_DIR}/changelog VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${debian_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TESSARO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and publisher of XGL 3D scenes and DWF drawings")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tessaro views XGL scenes and ZGL files and checks them against the
format's rules; tessaro-cli checks, describes and draws them without a
window. Plotwick shows DWF drawings. Exportal is an add-in for a CAD
host that exports views as images, stereo pairs, VRML and
self-extracting packages; a stand-in host is included.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan does not see them: Qt's window-system
# plugins and Mesa's drivers.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libgl1-mesa-dri, libegl-mesa0")
# The add-in packs its viewers with NSIS; without it those two commands say so.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "nsis")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine64")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
