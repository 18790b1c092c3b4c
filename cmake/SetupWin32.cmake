# The Windows setup, quillomar-levelset-installer-<version>-setup.exe, made
# with NSIS from packaging/windows/setup.nsi:
#
#   cmake --build --preset windows --target setup
#
# When LEVELSET_SIGN_PKCS12 and LEVELSET_SIGN_PASSWORD_FILE are set in the
# build's environment (see cmake/SignWin32.cmake), the program is signed
# before it is packed, and so are the setup's helper, the uninstaller and the
# setup itself.
# The target always runs, so that it signs with the environment of this build.
#
# makensis writes the setup under a temporary name, and signs the uninstaller
# and then the setup there; the setup takes its release name only once every
# signature is made. Whatever setup there was before goes first, so a run
# of this target that fails leaves none, neither a half-signed one nor an
# old one.

# The setup's helper, which it unpacks into its own temporary folder and runs
# for what NSIS cannot judge alone: who may change the chosen folder, and the
# access list of Levels (app/win32_setup_main.cpp, platform/win32_setup.cpp).
add_library(platform_win32_setup STATIC platform/win32_setup.cpp)
target_include_directories(platform_win32_setup PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(platform_win32_setup PUBLIC advapi32)
target_compile_options(platform_win32_setup PRIVATE ${LEVELSET_NO_EXCEPTIONS})
add_executable(levelset-setup-helper WIN32 app/win32_setup_main.cpp)
target_link_libraries(levelset-setup-helper PRIVATE platform_win32_setup)
target_compile_options(levelset-setup-helper PRIVATE ${LEVELSET_NO_EXCEPTIONS})
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_link_options(levelset-setup-helper PRIVATE -mwindows $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()

find_program(LEVELSET_MAKENSIS makensis)
set(LEVELSET_SETUP_FILE
    "${PROJECT_BINARY_DIR}/quillomar-levelset-installer-${PROJECT_VERSION}-setup.exe")
set(setup_dir "${PROJECT_BINARY_DIR}/setup")
set(setup_partial "${setup_dir}/setup.exe.partial")
set(sign_command "\"${CMAKE_COMMAND}\" \"-DFILE=%1\" -P \"${PROJECT_SOURCE_DIR}/cmake/SignWin32.cmake\"")

if(LEVELSET_MAKENSIS)
  add_custom_target(setup
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${LEVELSET_SETUP_FILE}" "${setup_partial}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${setup_dir}"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:levelset-installer>" "${setup_dir}/levelset-installer.exe"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:levelset-setup-helper>" "${setup_dir}/levelset-setup-helper.exe"
    COMMAND "${CMAKE_COMMAND}" "-DFILE=${setup_dir}/levelset-installer.exe"
            -P "${PROJECT_SOURCE_DIR}/cmake/SignWin32.cmake"
    COMMAND "${CMAKE_COMMAND}" "-DFILE=${setup_dir}/levelset-setup-helper.exe"
            -P "${PROJECT_SOURCE_DIR}/cmake/SignWin32.cmake"
    COMMAND "${LEVELSET_MAKENSIS}" -V2 -INPUTCHARSET UTF8
            "-DVERSION=${PROJECT_VERSION}"
            "-DVERSION_QUAD=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0"
            "-DPROGRAM=${setup_dir}/levelset-installer.exe"
            "-DHELPER=${setup_dir}/levelset-setup-helper.exe"
            "-DLICENSE=${PROJECT_BINARY_DIR}/packaging/LICENSE.txt"
            "-DICON=${PROJECT_SOURCE_DIR}/packaging/icon/quillomar-levelset.ico"
            "-DCOPYRIGHT=${LEVELSET_COPYRIGHT_LINE}"
            "-DOUTFILE=${setup_partial}"
            "-DSIGN=${sign_command}"
            "${PROJECT_SOURCE_DIR}/packaging/windows/setup.nsi"
    COMMAND "${CMAKE_COMMAND}" -E rename "${setup_partial}" "${LEVELSET_SETUP_FILE}"
    BYPRODUCTS "${LEVELSET_SETUP_FILE}" "${setup_partial}"
    DEPENDS levelset-installer levelset-setup-helper
    COMMENT "Making ${LEVELSET_SETUP_FILE}"
    VERBATIM)
else()
  add_custom_target(setup
    COMMAND "${CMAKE_COMMAND}" -E echo "the setup needs makensis: apt-get install nsis, then configure again"
    COMMAND "${CMAKE_COMMAND}" -E false
    VERBATIM)
endif()
