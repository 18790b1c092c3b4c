# The POSIX program: files, the game lock and the message-box chain.

# Debian's hardening for a release build: checked string and memory calls,
# and every symbol bound at start with the table read-only after.
add_compile_definitions($<$<CONFIG:Release>:_FORTIFY_SOURCE=2>)
add_link_options($<$<CONFIG:Release>:LINKER:-z,relro,-z,now>)
option(LEVELSET_WITH_GTK "Show message boxes as GTK dialogs when a display is there" ON)

set(posix_box_gtk platform/posix_box_nogtk.cpp)
if(LEVELSET_WITH_GTK)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GTK3 REQUIRED gtk+-3.0)
  set(posix_box_gtk platform/posix_box_gtk.cpp)
endif()

# posix.cpp is POSIX; linux.cpp gives what Linux does its own way.
add_library(platform_posix STATIC
  platform/posix.cpp
  platform/linux.cpp
  platform/posix_box.cpp
  ${posix_box_gtk})
target_include_directories(platform_posix PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(platform_posix PRIVATE ${LEVELSET_NO_EXCEPTIONS})
if(LEVELSET_WITH_GTK)
  # GTK's headers only: the library is loaded at run time, when a display is
  # there to show a dialog on.
  target_include_directories(platform_posix SYSTEM PRIVATE ${GTK3_INCLUDE_DIRS})
  target_compile_options(platform_posix PRIVATE ${GTK3_CFLAGS_OTHER})
  target_link_libraries(platform_posix PRIVATE ${CMAKE_DL_LIBS})
endif()

add_executable(levelset-installer app/posix_main.cpp)
target_link_libraries(levelset-installer PRIVATE installer_logic platform_posix)
target_compile_options(levelset-installer PRIVATE ${LEVELSET_NO_EXCEPTIONS})

include(${PROJECT_SOURCE_DIR}/cmake/Packaging.cmake)
