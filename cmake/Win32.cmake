# The Windows program: a GUI-subsystem executable that needs nothing but the
# system's own DLLs, so it can be dropped beside the game's program.
enable_language(RC)

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # Every program of this build, the tests included, carries its C and C++
  # runtimes inside: no libstdc++, libgcc or winpthread DLL beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # No link time in the programs' headers: a rebuild gives the same bytes.
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# Who runs the process, and one file under two names: asked by the program
# and by the setup's helper alike.
add_library(platform_win32_identity STATIC platform/windows/win32_identity.cpp)
levelset_defaults(platform_win32_identity)
target_link_libraries(platform_win32_identity PUBLIC advapi32)

add_library(platform_win32 STATIC platform/windows/win32.cpp)
levelset_defaults(platform_win32)
# advapi32: owners (of a file that a killed copy left behind, of a link on
# the source's way); ntdll: files opened, created and renamed relative to
# the open Levels folder.
target_link_libraries(platform_win32 PUBLIC platform_win32_identity advapi32 ntdll)

add_executable(levelset-installer WIN32
  app/win32_main.cpp
  app/win32.rc)
target_link_libraries(levelset-installer PRIVATE installer_logic platform_win32)
levelset_defaults(levelset-installer)
# The project's version in four numbers, as Windows' resources and manifests
# name it: the program's and the setup's.
set(LEVELSET_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
string(REPLACE "." "," levelset_version_numbers "${LEVELSET_VERSION_QUAD}")
# The version resource shows the project's version, as numbers and as text,
# and the copyright line of LICENSE (so does the setup's).
set(levelset_version_header ${PROJECT_BINARY_DIR}/generated/levelset_version.h)
file(CONFIGURE OUTPUT ${levelset_version_header} CONTENT [[
#define LEVELSET_VERSION_NUMBERS @levelset_version_numbers@
#define LEVELSET_VERSION_TEXT "@PROJECT_VERSION@"
#define LEVELSET_COPYRIGHT "@LEVELSET_COPYRIGHT_LINE@"
]] @ONLY)
set(levelset_manifest ${PROJECT_BINARY_DIR}/generated/levelset-installer.manifest)
configure_file(${PROJECT_SOURCE_DIR}/app/win32.manifest ${levelset_manifest} @ONLY)
target_include_directories(levelset-installer PRIVATE ${PROJECT_BINARY_DIR}/generated)
set_source_files_properties(app/win32.rc PROPERTIES
  OBJECT_DEPENDS "${levelset_manifest};${PROJECT_SOURCE_DIR}/packaging/icon/quillomar-levelset.ico;${levelset_version_header};${PROJECT_SOURCE_DIR}/setup/windows/facts.h")

# The .zip that carries the program (cpack -G ZIP in the build directory).
include(${PROJECT_SOURCE_DIR}/cmake/PackagingWin32.cmake)
