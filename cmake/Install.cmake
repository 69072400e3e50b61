# Install rules: the programs, their manual pages, the bash completion of kvrctl, the user
# guide, and the desktop integration (menu entry, the *.kvr MIME type, the icon). Included from the top-level CMakeLists.txt after the
# targets are defined:  include(cmake/Install.cmake)
#
#   cmake --install build/dev --prefix /usr/local
#
# After installing into a system prefix, refresh the desktop caches once:
#   update-mime-database <prefix>/share/mime
#   update-desktop-database <prefix>/share/applications
#   gtk-update-icon-cache -f -t <prefix>/share/icons/hicolor   (where present)
include(GNUInstallDirs)

set(KVR_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

install(TARGETS kvrctl kvr-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kvrview)
    install(TARGETS kvrview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The help window looks for the guide at <bin>/../share/kvr-view/user-guide.html.
install(FILES ${KVR_SOURCE_ROOT}/doc/user-guide.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kvr-view)

install(FILES ${KVR_SOURCE_ROOT}/packaging/kvrview.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KVR_SOURCE_ROOT}/packaging/kvr-setup.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${KVR_SOURCE_ROOT}/packaging/kvrview.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(FILES ${KVR_SOURCE_ROOT}/doc/man/kvrview.1 ${KVR_SOURCE_ROOT}/doc/man/kvrctl.1
              ${KVR_SOURCE_ROOT}/doc/man/kvr-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Where bash-completion looks for a command's completion when it is first typed.
install(FILES ${KVR_SOURCE_ROOT}/packaging/bash-completion/kvrctl
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The report templates: the programs look beside themselves, then in ../share/kvr-view.
install(FILES ${KVR_SOURCE_ROOT}/templates/KVRPrnTemplate.rtf
              ${KVR_SOURCE_ROOT}/templates/DispPrnTemplate.rtf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kvr-view)
