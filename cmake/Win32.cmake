# The Windows program: a GUI-subsystem executable that needs nothing but the
# system's own DLLs, so it can be dropped beside the game's program.
enable_language(RC)

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # Every program of this build, the tests included, carries its C and C++
  # runtimes inside: no libstdc++, libgcc or winpthread DLL beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The logic counts on the C99 vsnprintf, which gives the length of the whole
# text when it is cut; msvcrt's own gives -1. mingw-w64's stdio is the C99 one.
target_compile_definitions(installer_logic PRIVATE __USE_MINGW_ANSI_STDIO=1)

add_library(platform_win32 STATIC platform/win32.cpp)
target_include_directories(platform_win32 PUBLIC ${PROJECT_SOURCE_DIR})

add_executable(levelset-installer WIN32
  platform/win32_main.cpp
  platform/win32.rc)
target_link_libraries(levelset-installer PRIVATE installer_logic platform_win32)
set_source_files_properties(platform/win32.rc PROPERTIES
  OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/platform/win32.manifest)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_link_options(levelset-installer PRIVATE -mwindows $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()

# The .zip that carries the program (cpack -G ZIP in the build directory).
include(${PROJECT_SOURCE_DIR}/cmake/PackagingWin32.cmake)
# The setup that puts it beside the game and opens .qlm files with it
# (cmake --build --preset windows --target setup).
include(${PROJECT_SOURCE_DIR}/cmake/SetupWin32.cmake)
