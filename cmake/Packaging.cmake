# Desktop integration, the third-party notices and the Debian package.

set(LUMBREL_MAINTAINER "Lumbrel Team <${LUMBREL_SUPPORT_ADDRESS}>")
# The project's web site lives on the host of the support address.
string(REGEX REPLACE "^.*@" "" _host "${LUMBREL_SUPPORT_ADDRESS}")
set(LUMBREL_HOMEPAGE "https://${_host}/")
set(_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(_generated ${CMAKE_BINARY_DIR}/packaging)

# The newest entry of the changelog and of the AppStream releases must be
# this version, or the package contradicts its own history.
file(STRINGS ${_packaging}/linux/changelog _newest LIMIT_COUNT 1)
if(NOT _newest MATCHES "^lumbrel \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/linux/changelog starts with \"${_newest}\"; add an entry for ${PROJECT_VERSION}")
endif()
file(STRINGS ${_packaging}/linux/app.lumbrel.lumbrel.metainfo.xml _newest REGEX "<release " LIMIT_COUNT 1)
if(NOT _newest MATCHES "version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "the AppStream metadata's newest release is \"${_newest}\"; add ${PROJECT_VERSION}")
endif()

# ---- Third-party notices --------------------------------------------------------
# Made from the packer modules that npm installed, each time they change:
# the copyright file of the package, and the same text for the About dialog
# (app/CMakeLists.txt adds ThirdPartyNotices.js to the window module's resources).
file(RELATIVE_PATH _data_path ${LUMBREL_STAGE_DIR} ${LUMBREL_RESOURCE_DIR})
file(RELATIVE_PATH _runtime_path ${LUMBREL_STAGE_DIR} ${LUMBREL_RUNTIME})
add_custom_command(
    OUTPUT ${_generated}/notices.stamp
    BYPRODUCTS ${_generated}/copyright ${_generated}/notices.txt ${_generated}/ThirdPartyNotices.js
    COMMAND ${CMAKE_COMMAND}
            -DRESOURCE_DIR=${LUMBREL_RESOURCE_DIR}
            -DOWN_LICENSE=${_packaging}/license.txt
            -DVERSION=${PROJECT_VERSION}
            -DCONTACT=${LUMBREL_MAINTAINER}
            -DDATA_PATH=usr/${_data_path}
            -DRUNTIME_PATH=usr/${_runtime_path}
            -DOUTPUT_DIR=${_generated}
            -P ${_packaging}/GenerateNotices.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${_generated}/notices.stamp
    DEPENDS ${CMAKE_BINARY_DIR}/packer.stamp ${_packaging}/GenerateNotices.cmake ${_packaging}/license.txt
    COMMENT "Writing the third-party notices of the bundled runtime and packer"
    VERBATIM)
add_custom_target(notices ALL DEPENDS ${_generated}/notices.stamp)

if(UNIX AND NOT APPLE)
    # ---- Desktop integration ----------------------------------------------------
    # The desktop entry claims no file types: an application that opens any
    # file or folder would otherwise become the default for folders and text
    # files where no other program claims them. It is offered under "Open
    # With" > "Other Application" in every file manager all the same.
    install(FILES ${_packaging}/linux/app.lumbrel.Lumbrel.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    configure_file(${_packaging}/linux/app.lumbrel.lumbrel.metainfo.xml
                   ${_generated}/app.lumbrel.lumbrel.metainfo.xml @ONLY)
    install(FILES ${_generated}/app.lumbrel.lumbrel.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${_packaging}/linux/app.lumbrel.Lumbrel.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # ---- Documents: copyright, changelog, manual page -----------------------------
    # Debian wants the changelog and the manual page compressed to the maximum
    # and without a time stamp, so that rebuilds give the same bytes.
    find_program(LUMBREL_GZIP gzip REQUIRED)
    configure_file(${_packaging}/linux/changelog ${_generated}/changelog @ONLY)
    configure_file(${_packaging}/linux/lumbrel.1 ${_generated}/lumbrel.1 @ONLY)
    foreach(_document changelog lumbrel.1)
        add_custom_command(
            OUTPUT ${_generated}/${_document}.gz
            COMMAND ${LUMBREL_GZIP} -9nf --keep ${_generated}/${_document}
            DEPENDS ${_generated}/${_document}
            VERBATIM)
        list(APPEND _documents ${_generated}/${_document}.gz)
    endforeach()
    add_custom_target(documents ALL DEPENDS ${_documents})
    set(_docdir ${CMAKE_INSTALL_DATADIR}/doc/lumbrel)
    install(FILES ${_generated}/copyright ${_generated}/changelog.gz DESTINATION ${_docdir})
    install(FILES ${_generated}/lumbrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

    install(FILES ${_packaging}/linux/lumbrel.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME lumbrel)

    # `cmake --install --strip` and CPack strip the application and the
    # runtime the way Debian's dh_strip does.
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            foreach(_binary ${CMAKE_INSTALL_BINDIR}/lumbrel ${_runtime_path})
                execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${_binary}\"
                                RESULT_VARIABLE _rc)
                if(NOT _rc EQUAL 0)
                    message(FATAL_ERROR \"could not strip \${_binary} (\${_rc})\")
                endif()
            endforeach()
        endif()")
    # The packer's files as Debian wants them (packaging/InstalledPacker.cmake).
    install(CODE "
        set(TREE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${_data_path}\")
        include(\"${_packaging}/InstalledPacker.cmake\")")
endif()

# ---- The Debian package -----------------------------------------------------------
set(CPACK_PACKAGE_NAME lumbrel)
set(CPACK_PACKAGE_VENDOR "Lumbrel Team")
set(CPACK_PACKAGE_CONTACT "${LUMBREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Lumbrel is a small desktop application that packs files and folders into one
text file, ready to paste into or upload to an AI chat assistant.

Drop files and folders on its window, see how many files, characters and
tokens the bundle will hold, pick the output style (plain text, XML or
Markdown) and the options, and save the result. The packing is done by the
open-source packer Repomix, which ships inside the package together with its
own Node.js runtime.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${LUMBREL_HOMEPAGE}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# QML modules are loaded at run time, so the library scan cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-dialogs, qml6-module-qtquick-window, qml6-module-qtquick-templates, qml6-module-qtqml-workerscript, qml6-module-qtquick-shapes, qml6-module-qt-labs-folderlistmodel, qt6-qpa-plugins")
# "Show in File Manager" and "Contact Support" hand over to the desktop's programs through these.
# xdg-utils: the reveal's fallback. The platform themes give the desktop's own
# file dialogs (GTK, or the portal's) instead of Qt's, and its palette and font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-gtk-platformtheme | qt6-xdgdesktopportal-platformtheme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz) # as Debian's own packages; a third smaller than gzip here
set(CPACK_THREADS 0)                  # compress on every core
include(CPack)
