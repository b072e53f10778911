# What `cmake --install` puts under the prefix, and the Debian package made of it. Only the
# product is installed; the stand-in, the tools and the tests have no install rules.
#
#   bin/tavrin-client
#   share/tavrin-client/Fonts/*.ttf       links to the faces of Debian's fonts-roboto-unhinted
#   share/applications/tavrin-client.desktop
#   share/icons/hicolor/*/apps/tavrin-client.{png,svg}
#   share/metainfo/invalid.tavrin.client.metainfo.xml
#   share/doc/tavrin-client/              copyright and the licence texts it names, changelog.gz
#   share/man/man1/tavrin-client.1.gz
#
# The program looks for its fonts in <program folder>/../share/tavrin-client/Fonts, so the
# data folder must stay beside bin/ under one prefix.
include(GNUInstallDirs)

# Installing and packing take what the build made; they do not check every target again first
# (cpack would otherwise run the whole build's up-to-date checks, most of its time).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TAVRIN_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)

install(TARGETS tavrin-client RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TAVRIN_DESKTOP_DIR}/tavrin-client.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TAVRIN_DESKTOP_DIR}/invalid.tavrin.client.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        PATTERN "*.ico" EXCLUDE) # the Windows program's icon, compiled into its .exe
install(FILES ${TAVRIN_DESKTOP_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-client)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/licenses/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-client)
# The changelog and the manual page, compressed as Debian wants them: at the highest level,
# without the name and time of the uncompressed file, so that every build gives the same bytes.
foreach(document changelog tavrin-client.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${document}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${TAVRIN_DESKTOP_DIR}/${document} ${document}
        COMMAND gzip -9nf ${document}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        DEPENDS ${TAVRIN_DESKTOP_DIR}/${document} VERBATIM)
endforeach()
add_custom_target(tavrin_documents ALL
    DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_BINARY_DIR}/tavrin-client.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-client)
install(FILES ${CMAKE_BINARY_DIR}/tavrin-client.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The fonts are not copied but linked to the system's files, which the package depends on. The
# links are made when installing, once the prefix is known: relative where the fonts lie under
# the prefix (the package's /usr), absolute elsewhere, so that any prefix works.
install(CODE "set(TAVRIN_ROBOTO_DIR \"${TAVRIN_ROBOTO_DIR}\")
set(TAVRIN_FONT_FILES \"${TAVRIN_FONT_FILES}\")
set(TAVRIN_FONTS_DESTINATION \"${CMAKE_INSTALL_DATADIR}/tavrin-client/Fonts\")")
install(CODE [[
    set(folder "${TAVRIN_FONTS_DESTINATION}")
    if(NOT IS_ABSOLUTE "${folder}")
        set(folder "${CMAKE_INSTALL_PREFIX}/${folder}")
    endif()
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${folder}")
    foreach(font IN LISTS TAVRIN_FONT_FILES)
        get_filename_component(name "${font}" NAME)
        set(target "${TAVRIN_ROBOTO_DIR}/${font}")
        string(FIND "${target}" "${CMAKE_INSTALL_PREFIX}/" underPrefix)
        if(underPrefix EQUAL 0)
            file(RELATIVE_PATH target "${folder}" "${target}")
        endif()
        set(link "$ENV{DESTDIR}${folder}/${name}")
        message(STATUS "Installing: ${link} -> ${target}")
        file(REMOVE "${link}")
        file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")
    endforeach()
]])

# The Debian package (cpack -G DEB, or scripts/package.sh): the installed files under /usr.
# dpkg-shlibdeps works out the libraries' packages from the program itself.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin-client)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tavrin)
set(CPACK_PACKAGE_CONTACT "Tavrin <packages@tavrin.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of the Tavrin VPN")
# The extended description is shown as it is: lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tavrin Client is the desktop front-end of the Tavrin VPN: one small window to\n"
    "log in, choose a server location and connect, showing the connection state, the\n"
    "time connected, the public address and a live bandwidth graph, and a tray icon\n"
    "with its menu. It talks to the Tavrin VPN service running on the same machine.")
# Installed with DESTDIR, so that the install step sees /usr as its prefix and links the fonts
# relatively.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${TAVRIN_SITE_HOST}/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-roboto-unhinted)
include(CPack)
