# The Windows program: a GUI-subsystem executable that needs nothing but the
# system's own DLLs, so it can be dropped beside the game's program.
enable_language(RC)

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # Every program of this build, the tests included, carries its C and C++
  # runtimes inside: no libstdc++, libgcc or winpthread DLL beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

add_library(platform_win32 STATIC platform/win32.cpp)
target_include_directories(platform_win32 PUBLIC ${PROJECT_SOURCE_DIR})

add_executable(levelset-installer WIN32
  app/win32_main.cpp
  app/win32.rc)
target_link_libraries(levelset-installer PRIVATE installer_logic platform_win32)
set_source_files_properties(app/win32.rc PROPERTIES
  OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/app/win32.manifest)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_link_options(levelset-installer PRIVATE -mwindows $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()

# The .zip that carries the program (cpack -G ZIP in the build directory).
include(${PROJECT_SOURCE_DIR}/cmake/PackagingWin32.cmake)
