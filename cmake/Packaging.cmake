# Installing the Linux program and packaging it as a .deb.
#
# The installer copies level sets into `Levels` beside its own program file,
# and the game reads them from there, so the program goes into the game's own
# installation directory. A file manager starts it on a double-click through
# the desktop entry, which claims the level-set MIME type declared by the
# shared-mime-info package beside it.
include(GNUInstallDirs)

set(LEVELSET_GAME_DIR "lib/quillomar" CACHE STRING
    "The game's installation directory, relative to the prefix or absolute; the installer goes there and fills its Levels directory")
set(LEVELSET_MIME_TYPE "application/x-quillomar-levelset")
option(LEVELSET_SHARED_LEVELS
       "Ship an empty Levels directory that every user may add to (mode 1777, like /tmp), under the variable data of games, and link the game's Levels to it" ON)
# Level sets that players install are variable data: they go under /var
# (for the prefix /usr), where a read-only /usr does not stop them.
set(LEVELSET_SHARED_LEVELS_DIR "${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/games/quillomar/Levels")

if(IS_ABSOLUTE "${LEVELSET_GAME_DIR}")
  set(levelset_game_dir_full "${LEVELSET_GAME_DIR}")
else()
  set(levelset_game_dir_full "${CMAKE_INSTALL_PREFIX}/${LEVELSET_GAME_DIR}")
endif()
set(LEVELSET_INSTALLED_PROGRAM "${levelset_game_dir_full}/levelset-installer")

# Exec= names the program by its absolute path, fixed here from the prefix
# of the configuration (an install with another --prefix keeps it). The path
# goes in double quotes when it holds a blank or a character that the
# desktop entry format reserves; a "%" is doubled in any case.
string(REPLACE "%" "%%" LEVELSET_EXEC_PROGRAM "${LEVELSET_INSTALLED_PROGRAM}")
if(LEVELSET_EXEC_PROGRAM MATCHES "[ \t\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\\\\\" LEVELSET_EXEC_PROGRAM "${LEVELSET_EXEC_PROGRAM}")
  string(REPLACE "\"" "\\\\\"" LEVELSET_EXEC_PROGRAM "${LEVELSET_EXEC_PROGRAM}")
  string(REPLACE "`" "\\\\`" LEVELSET_EXEC_PROGRAM "${LEVELSET_EXEC_PROGRAM}")
  string(REPLACE "$" "\\\\$" LEVELSET_EXEC_PROGRAM "${LEVELSET_EXEC_PROGRAM}")
  set(LEVELSET_EXEC_PROGRAM "\"${LEVELSET_EXEC_PROGRAM}\"")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/quillomar-levelset-installer.desktop.in
               ${PROJECT_BINARY_DIR}/packaging/quillomar-levelset-installer.desktop @ONLY)

install(TARGETS levelset-installer RUNTIME DESTINATION "${LEVELSET_GAME_DIR}")
install(FILES ${PROJECT_BINARY_DIR}/packaging/quillomar-levelset-installer.desktop
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/quillomar-levelset.xml
        DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")
# The level-set icon, which the desktop entry and the MIME type both name, in
# the hicolor theme: drawn for each size (packaging/icon/make-icons.sh), and
# scalable for the others.
set(levelset_icons "${CMAKE_INSTALL_DATADIR}/icons/hicolor")
foreach(size 16 24 32 48 256)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/icon/png/quillomar-levelset-${size}.png
          DESTINATION "${levelset_icons}/${size}x${size}/apps" RENAME quillomar-levelset.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icon/quillomar-levelset.svg
        DESTINATION "${levelset_icons}/scalable/apps")

if(LEVELSET_SHARED_LEVELS)
  # A player double-clicks as themself, not as root: the directory that the
  # installer copies into must take their files. Sticky, so that nobody
  # replaces another user's level set. The installer finds it as Levels
  # beside itself, through a link.
  install(DIRECTORY DESTINATION "${LEVELSET_SHARED_LEVELS_DIR}")
  string(CONFIGURE [[
    set(game_dir "${CMAKE_INSTALL_PREFIX}/@LEVELSET_GAME_DIR@")
    if(IS_ABSOLUTE "@LEVELSET_GAME_DIR@")
      set(game_dir "@LEVELSET_GAME_DIR@")
    endif()
    execute_process(COMMAND chmod 1777 "$ENV{DESTDIR}@LEVELSET_SHARED_LEVELS_DIR@")
    file(CREATE_LINK "@LEVELSET_SHARED_LEVELS_DIR@" "$ENV{DESTDIR}${game_dir}/Levels" SYMBOLIC)
  ]] levelset_shared_levels_code @ONLY)
  install(CODE "${levelset_shared_levels_code}")
endif()

# Installed straight onto this system (no DESTDIR, not into a package's
# staging tree), the MIME and desktop databases and an icon cache that is
# there learn of the new files now; a package leaves that to the system's
# own triggers.
string(CONFIGURE [[
  if("$ENV{DESTDIR}" STREQUAL "" AND NOT CMAKE_INSTALL_PREFIX MATCHES "/_CPack_Packages/")
    find_program(update_mime update-mime-database)
    find_program(update_desktop update-desktop-database)
    find_program(update_icons gtk-update-icon-cache)
    if(update_mime)
      execute_process(COMMAND "${update_mime}" "${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_DATADIR@/mime")
    endif()
    if(update_desktop)
      execute_process(COMMAND "${update_desktop}" "${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_DATADIR@/applications")
    endif()
    set(icons "${CMAKE_INSTALL_PREFIX}/@levelset_icons@")
    if(update_icons AND EXISTS "${icons}/icon-theme.cache")
      execute_process(COMMAND "${update_icons}" -q "${icons}")
    endif()
  endif()
]] levelset_update_code @ONLY)
install(CODE "${levelset_update_code}")

# The .deb: `cpack -G DEB` in the build directory. Its paths are those of
# the install above, so the desktop entry names the program where the
# package puts it.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quillomar-levelset-installer")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Morvalic")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installs Quillomar level sets opened from the desktop")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
# The shared Levels lies outside the prefix (under /var): CPack installs
# into its staging tree through DESTDIR, which absolute paths honour too.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillomar maintainers <maintainers@quillomar.invalid>"
    CACHE STRING "The Maintainer field of the .deb")
# The long description under the summary line; CPack indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A double-click on a downloaded level set (a *.qlm file, of the type
${LEVELSET_MIME_TYPE}) asks whether to install it and
copies it into the game's Levels directory.
It refuses while the game is running.")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# GTK may be loaded at run time rather than linked, where dpkg-shlibdeps
# cannot see it; a double-click needs it to show anything at all.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgtk-3-0")
set(CPACK_STRIP_FILES ON)
# The MIME type and the double-click need these; their dpkg triggers on
# /usr/share/mime/packages and /usr/share/applications rebuild the caches
# when this package is installed or removed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")

# The package's documentation, as Debian has it: the licence as a
# machine-readable copyright file, and the changelog, whose newest entry
# carries the project's version and the time of the last commit. Both are
# made from LICENSE and packaging/linux/changelog.in here.
set(levelset_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME}")
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" levelset_licence)
string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" LEVELSET_LICENSE_TEXT "${levelset_licence}")
string(STRIP "${LEVELSET_LICENSE_TEXT}" LEVELSET_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" LEVELSET_LICENSE_TEXT "${LEVELSET_LICENSE_TEXT}")
string(REPLACE "\n" "\n " LEVELSET_LICENSE_TEXT " ${LEVELSET_LICENSE_TEXT}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/copyright.in
               ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
string(TIMESTAMP LEVELSET_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/changelog.in
               ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
execute_process(COMMAND gzip -9nc
                INPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.gz
                COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION "${levelset_doc_dir}")
# What lintian says of this package and is wrong about, each with its
# reason: all of it is about the shared Levels. The one maintainer script
# refuses to install where the game's Levels is already something else.
if(LEVELSET_SHARED_LEVELS)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/lintian-overrides
          DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME "${CPACK_PACKAGE_NAME}")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/preinst.in
                 ${PROJECT_BINARY_DIR}/packaging/preinst @ONLY)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/packaging/preinst")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
endif()
include(CPack)
