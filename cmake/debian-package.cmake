# The Debian package of the companion program (cpack -G DEB in the native
# build): the program, its manual page made at build time by help2man from
# the program's own --help, --version and each command's --help, its bash
# completion, the systemd user units of the scheduled emptying and the file
# managers' actions.
install(TARGETS vaporizer RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/vaporizer.bash-completion
        DESTINATION share/bash-completion/completions RENAME vaporizer)
# The scheduled emptying, which 'vaporizer retention enable' switches on.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/vaporizer-emptying.service
              ${CMAKE_SOURCE_DIR}/packaging/linux/vaporizer-emptying.timer
        DESTINATION lib/systemd/user)

# "Send to Vaporizer" and "Vaporize now" in the file managers: Dolphin's
# service menu, the actions of Caja (FileManager-Actions) and Nemo, and an
# extension of Files (Nautilus); each runs the one action script.
set(fm ${CMAKE_SOURCE_DIR}/packaging/linux/file-managers)
install(PROGRAMS ${fm}/file-manager-action DESTINATION libexec/vaporizer)
install(FILES ${fm}/vaporizer.desktop DESTINATION share/kio/servicemenus)
install(FILES ${fm}/vaporizer-send.desktop ${fm}/vaporizer-shred.desktop DESTINATION share/file-manager/actions)
install(FILES ${fm}/vaporizer-send.nemo_action ${fm}/vaporizer-shred.nemo_action DESTINATION share/nemo/actions)
install(FILES ${fm}/vaporizer-nautilus.py DESTINATION share/nautilus-python/extensions RENAME vaporizer.py)

find_program(VZ_HELP2MAN help2man)
if(VZ_HELP2MAN)
  set(man ${CMAKE_BINARY_DIR}/vaporizer.1)
  add_custom_command(
    OUTPUT ${man}.gz
    COMMAND ${CMAKE_SOURCE_DIR}/packaging/linux/man-commands $<TARGET_FILE:vaporizer> ${man}.commands
    COMMAND ${VZ_HELP2MAN} --no-info --section=1 --include=${man}.commands
            "--name=the Vaporizer secure-deletion bin from the command line" --output=${man} $<TARGET_FILE:vaporizer>
    COMMAND gzip -9nf ${man}
    DEPENDS vaporizer ${CMAKE_SOURCE_DIR}/packaging/linux/man-commands
    VERBATIM)
  add_custom_target(vaporizer_man ALL DEPENDS ${man}.gz)
  install(FILES ${man}.gz DESTINATION share/man/man1)
else()
  message(STATUS "help2man not found: no manual page (scripts/setup installs it)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vaporizer)
set(CPACK_PACKAGE_VENDOR "Orvel Technologies")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "secure-deletion bin from the command line")
set(CPACK_PACKAGE_DESCRIPTION
    "Items sent to the Vaporizer move into a hidden store on their own drive and
are recorded in that drive's index; from there they are listed, restored, or
vaporized: overwritten, stamped with an old date, truncated and deleted.
Every mounted file system is a drive; Dolphin, Caja, Nemo and Files get
\"Send to Vaporizer\" and \"Vaporize now\" in their menus.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvel Technologies")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The file managers' actions ask in a dialog and report in a notification
# where these are installed.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity | kdialog, libnotify-bin, python3-nautilus")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
