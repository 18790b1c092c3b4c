# The POSIX program: files, the game lock and the message-box chain.

# The backend takes what POSIX leaves open from platform/posix/linux.cpp: there is
# no such file for any other system yet.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  message(FATAL_ERROR "The POSIX program is built for Linux only, not for ${CMAKE_SYSTEM_NAME}: "
                      "platform/posix/linux.cpp gives what it needs of the system (/proc, O_PATH, "
                      "O_TMPFILE, copy_file_range). Another system needs a file of its own "
                      "beside it that gives the calls of platform/posix/posix_system.h.")
endif()

# The hardening Debian asks of a release build, set here (nothing is read
# from dpkg-buildflags; -z now is more than its default gives):
# checked string and memory calls, a guard on every function with a buffer
# on its stack, and every symbol bound at start with the table read-only
# after. The logic's library is made before this file is read.
set(levelset_hardening $<$<CONFIG:Release>:-fstack-protector-strong>)
add_compile_options(${levelset_hardening})
target_compile_options(installer_logic PRIVATE ${levelset_hardening})
add_compile_definitions($<$<CONFIG:Release>:_FORTIFY_SOURCE=2>)
add_link_options($<$<CONFIG:Release>:LINKER:-z,relro,-z,now>)
option(LEVELSET_WITH_GTK "Show message boxes as GTK dialogs when a display is there" ON)

set(posix_box_gtk platform/posix/posix_box_nogtk.cpp)
if(LEVELSET_WITH_GTK)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GTK3 REQUIRED gtk+-3.0)
  set(posix_box_gtk platform/posix/posix_box_gtk.cpp)
endif()

# posix.cpp is POSIX; linux.cpp gives what Linux does its own way.
add_library(platform_posix STATIC
  platform/posix/posix.cpp
  platform/posix/linux.cpp
  platform/posix/posix_box.cpp
  ${posix_box_gtk})
levelset_defaults(platform_posix)
if(LEVELSET_WITH_GTK)
  # GTK's headers only: the library is loaded at run time, when a display is
  # there to show a dialog on.
  target_include_directories(platform_posix SYSTEM PRIVATE ${GTK3_INCLUDE_DIRS})
  target_compile_options(platform_posix PRIVATE ${GTK3_CFLAGS_OTHER})
  target_link_libraries(platform_posix PRIVATE ${CMAKE_DL_LIBS})
endif()

add_executable(levelset-installer app/posix_main.cpp)
target_link_libraries(levelset-installer PRIVATE installer_logic platform_posix)
levelset_defaults(levelset-installer)
# The compilers' names and versions (.comment) are of no use in the program
# Debian ships: a release build leaves them out, as Debian's own packages do.
add_custom_command(TARGET levelset-installer POST_BUILD
  COMMAND "$<IF:$<CONFIG:Release>,${CMAKE_OBJCOPY},true>" --remove-section=.comment
          "$<TARGET_FILE:levelset-installer>"
  VERBATIM)

include(${PROJECT_SOURCE_DIR}/cmake/Packaging.cmake)
