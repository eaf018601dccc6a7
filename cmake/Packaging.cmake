# Installation and the Debian package of the program, for a maker's build:
#
#   cmake --install BUILD [--prefix DIR]       the program, its desktop entry and icons
#   cmake --build BUILD --target package       BUILD/zorvupdater_<version>_<arch>.deb
#
# The maker's address, folder and key (ZORV_UPDATE_URL, ZORV_PRODUCT_DIR, ZORV_PUBLIC_KEY)
# are built into the program; these name the package.
set(ZORV_PACKAGE_TITLE "Quillon Updater" CACHE STRING "The program's name in menus")
set(ZORV_PACKAGE_MAINTAINER "Quillon Updates <updates@quillon-updates.example>"
    CACHE STRING "Maintainer of the package: name <e-mail address>")
set(ZORV_PACKAGE_VERSION "${PROJECT_VERSION}" CACHE STRING "Version of the package")

include(GNUInstallDirs)
install(TARGETS zorvupdater RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
configure_file(${PROJECT_SOURCE_DIR}/packaging/zorvupdater.desktop.in
               ${PROJECT_BINARY_DIR}/packaging/zorvupdater.desktop @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zorvupdater.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${ZORV_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian's documentation folder carries the changelog compressed.
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
                   COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
set(manual ${PROJECT_BINARY_DIR}/packaging/zorvupdater.1.gz)
add_custom_command(OUTPUT ${manual}
                   COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/zorvupdater.1 > ${manual}
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/zorvupdater.1)
add_custom_target(zorv_package_docs ALL DEPENDS ${changelog} ${manual})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvupdater)
set(CPACK_PACKAGE_VERSION ${ZORV_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZORV_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "updater for ${ZORV_PACKAGE_TITLE}'s product")
set(CPACK_PACKAGE_DESCRIPTION "One window that downloads the product's new build over HTTP(S)
or FTP(S), shows its progress, and puts it in place of the product's
executable. With the maker's public key built in, only builds signed with
that key are put in place.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
