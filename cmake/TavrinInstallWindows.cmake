# What the Windows program installs, and its installer (cpack -G NSIS):
# tavrin-client-<version>-win64.exe. Everything lies in one folder, "Tavrin Client" in Program
# Files, laid out as the program loads it (there is no deployment tool for a cross build, so
# every library is named here; the install test proves the list complete):
#
#   tavrin-client.exe, qt.conf
#   Qt5Core/Gui/Widgets/Network.dll, libssl-3-x64.dll, libcrypto-3-x64.dll and the compiler's
#       run-time DLLs
#   platforms/, styles/, imageformats/     the Qt plugins it loads
#   Fonts/*.ttf                           the faces of the build's Fonts folder
#   translations/qtbase_<language>.qm     Qt's own texts for each language the program speaks
#   licenses/                             the licences of all of the above
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS tavrin-client RUNTIME DESTINATION .)

# The plugins are found beside the program, Qt's own texts in translations/.
file(WRITE ${CMAKE_BINARY_DIR}/qt.conf "[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n")
install(FILES ${CMAKE_BINARY_DIR}/qt.conf DESTINATION .)

set(TAVRIN_WINDOWS_QT_LIBRARIES Qt5::Core Qt5::Gui Qt5::Widgets Qt5::Network)
foreach(library ${TAVRIN_WINDOWS_QT_LIBRARIES})
    install(FILES $<TARGET_FILE:${library}> DESTINATION .)
endforeach()
# <plugin target> <folder>
set(TAVRIN_WINDOWS_QT_PLUGINS
    Qt5::QWindowsIntegrationPlugin platforms
    Qt5::QWindowsVistaStylePlugin styles
    Qt5::QICOPlugin imageformats)
while(TAVRIN_WINDOWS_QT_PLUGINS)
    list(POP_FRONT TAVRIN_WINDOWS_QT_PLUGINS plugin folder)
    install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${folder})
endwhile()

# OpenSSL, which Qt Network is linked to, and the compiler's run-time libraries.
set(TAVRIN_WINDOWS_DLLS
    ${OPENSSL_ROOT_DIR}/bin/libssl-3-x64.dll ${OPENSSL_ROOT_DIR}/bin/libcrypto-3-x64.dll)
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "the compiler's ${runtime} was not found")
    endif()
    list(APPEND TAVRIN_WINDOWS_DLLS ${path})
endforeach()
foreach(dll ${TAVRIN_WINDOWS_DLLS})
    if(NOT EXISTS ${dll})
        message(FATAL_ERROR "${dll} is missing from the Windows toolchain")
    endif()
endforeach()
install(FILES ${TAVRIN_WINDOWS_DLLS} DESTINATION .)
# The folder of every DLL above, for the programs run from the build tree (WINEPATH).
get_target_property(qtCore Qt5::Core IMPORTED_LOCATION_RELEASE)
set(TAVRIN_WINDOWS_DLL_DIRS)
foreach(dll ${qtCore} ${TAVRIN_WINDOWS_DLLS})
    get_filename_component(folder ${dll} DIRECTORY)
    list(APPEND TAVRIN_WINDOWS_DLL_DIRS ${folder})
endforeach()
list(REMOVE_DUPLICATES TAVRIN_WINDOWS_DLL_DIRS)

foreach(font ${TAVRIN_FONT_FILES})
    install(FILES ${TAVRIN_ROBOTO_DIR}/${font} DESTINATION Fonts)
endforeach()

# Qt's own texts (Debian's qttranslations5-l10n) in each language of the program's own.
set(TAVRIN_QT_TRANSLATIONS_DIR /usr/share/qt5/translations CACHE PATH
    "Folder of Qt's own translations (qtbase_<language>.qm)")
file(GLOB tsFiles ${PROJECT_SOURCE_DIR}/resources/translations/tavrin_*.ts)
foreach(ts ${tsFiles})
    string(REGEX REPLACE ".*/tavrin_(.*)\\.ts$" "\\1" language ${ts})
    install(FILES ${TAVRIN_QT_TRANSLATIONS_DIR}/qtbase_${language}.qm DESTINATION translations)
    file(COPY ${TAVRIN_QT_TRANSLATIONS_DIR}/qtbase_${language}.qm
        DESTINATION ${CMAKE_BINARY_DIR}/translations)
endforeach()
# The programs of the build tree load Qt's plugins from the toolchain and its texts from there.
get_filename_component(qtPrefix ${qtCore} DIRECTORY)
get_filename_component(qtPrefix ${qtPrefix} DIRECTORY)
foreach(folder app sim tests)
    file(WRITE ${CMAKE_BINARY_DIR}/${folder}/qt.conf
        "[Paths]\nPrefix = ${qtPrefix}\nTranslations = ${CMAKE_BINARY_DIR}/translations\n")
endforeach()

# The licences: the project's own files and the libraries shipped with it, each as Debian
# states it for the package the files were built from.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/licenses/ DESTINATION licenses)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/copyright DESTINATION licenses)
foreach(package libqt5core5a libssl3 gcc-mingw-w64-base mingw-w64-common qttranslations5-l10n)
    install(FILES /usr/share/doc/${package}/copyright DESTINATION licenses
        RENAME ${package}-copyright.txt)
endforeach()

# The installer. It asks for administrator rights (Program Files) and adds a Start menu entry and
# an uninstaller. Its own steps around CPack's are in TavrinInstallWindows.nsh: before the files
# it ends every running client, notes which users have the log-on entry and runs the installed
# version's uninstaller itself (so CPack's uninstall-before-install is off); afterwards it writes
# those entries back and starts the client again in the installing person's session. The
# uninstaller ends every client and removes the log-on entry of every signed-in user but leaves
# the users' settings. A file that cannot be written is not skipped (AllowSkipFiles off): a silent
# installation then ends with a non-zero exit code instead of leaving a half-replaced program.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME tavrin-client)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tavrin)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of the Tavrin VPN")
set(CPACK_PACKAGE_FILE_NAME tavrin-client-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tavrin Client")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Tavrin Client")
set(CPACK_PACKAGE_EXECUTABLES tavrin-client "Tavrin Client")
# The Start menu entry's program lies in the folder itself, not in bin/.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/resources/desktop/copyright)
set(CPACK_NSIS_PACKAGE_NAME "Tavrin Client")
set(CPACK_NSIS_DISPLAY_NAME "Tavrin Client")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/icons/tavrin-client.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/icons/tavrin-client.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME tavrin-client.exe)
set(CPACK_NSIS_URL_INFO_ABOUT "https://${TAVRIN_SITE_HOST}/")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL OFF)
# A 64-bit installer: the program is one, and a 64-bit Windows (or Wine) needs no 32-bit layer.
set(CPACK_NSIS_DEFINES "Target amd64-unicode\nAllowSkipFiles off")
string(APPEND CPACK_NSIS_DEFINES "\n!include '${CMAKE_CURRENT_LIST_DIR}/TavrinInstallWindows.nsh'")
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "Call TavrinPrepareInstallation")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "Call TavrinFinishInstallation")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "Call un.TavrinPrepareRemoval")
set(CPACK_STRIP_FILES ON)
include(CPack)
