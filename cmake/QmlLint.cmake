# qmllint over every QML file of the project: the modules "Lumbrel" (ui/),
# "LumbrelApp" (the window, app/) and "LumbrelUpdates" (the update dialog,
# updates/). One target runs them all and fails on any warning:
#
#   cmake --build build --target all_qmllint
#
# Qt makes one lint target per module (lumbrel_ui_qmllint,
# lumbrel_window_qmllint, lumbrel_updates_ui_qmllint) and groups them under
# all_qmllint. qmllint needs the qmltypes of the Qt modules the files import:
# Debian ships QtQml's in qml6-module-qtqml and Qt.labs.platform's (the macOS
# menu bar) in qml6-module-qt-labs-platform, which tools/bootstrap.sh installs.
#
# Where qmllint 6.4 cannot see a type that exists at run time (the enums of
# DialogButtonBox and FileDialog, StandardKey, qint64 properties,
# Qt.callLater, Qt.application.font), the line says so with
# "// qmllint disable <category>" and the reason, rather than a category
# switched off for whole files. A file whose delegates use ids from outside
# them says "pragma ComponentBehavior: Bound", which is what lets qmllint
# resolve those ids.

# The window module imports Lumbrel and LumbrelUpdates, built in ui/ and updates/.
set_property(TARGET lumbrel_window APPEND PROPERTY QT_QML_IMPORT_PATH
             ${CMAKE_BINARY_DIR}/ui ${CMAKE_BINARY_DIR}/updates)
