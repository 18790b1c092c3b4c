# The Windows setup, quillomar-levelset-installer-<version>-setup.exe, made
# with NSIS from setup.nsi:
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
# access list of Levels (helper_main.cpp; its dealings with the system in
# system_win32.cpp, its decisions in policy.cpp).
add_library(setup_system STATIC system_win32.cpp)
target_link_libraries(setup_system PUBLIC setup_policy platform_win32_identity advapi32 shell32 ntdll)
levelset_defaults(setup_system)
add_executable(levelset-setup-helper WIN32 helper_main.cpp)
target_link_libraries(levelset-setup-helper PRIVATE setup_system)
levelset_defaults(levelset-setup-helper)
# Beside the program, where the tests and the packers look for it.
set_target_properties(levelset-setup-helper PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}")

# What NSIS needs of facts.h, as !define lines (see there).
set(setup_facts "${CMAKE_CURRENT_BINARY_DIR}/setup_facts.nsh")
file(STRINGS "${CMAKE_CURRENT_SOURCE_DIR}/facts.h" setup_fact_lines REGEX "^#define SETUP_[A-Z_]+ ")
set(setup_facts_text "; Made by the build from setup/windows/facts.h: change that file, not this one.\n")
# The same facts for the setup's scenarios (tests/e2e.sh), as shell variables
# of the names in facts.h; a list becomes an array.
set(setup_facts_shell "${PROJECT_BINARY_DIR}/setup_facts.sh")
set(setup_facts_shell_text "# Made by the build from setup/windows/facts.h: change that file, not this one.\n")
foreach(line IN LISTS setup_fact_lines)
  string(REGEX MATCH "^#define SETUP_([A-Z_]+) (.*)$" fact "${line}")
  set(name "${CMAKE_MATCH_1}")
  set(value "${CMAKE_MATCH_2}")
  if(name STREQUAL "GAME_PROGRAM")
    # A build option: a plain file name, which NSIS takes as it is.
    string(REPLACE "\"" "" game_program "${value}")
    set(LEVELSET_GAME_PROGRAM "${game_program}" CACHE STRING
        "The game's program file, which the Windows setup looks for in the folder it is given")
    if(NOT LEVELSET_GAME_PROGRAM MATCHES "^[^\\/:*?\"<>|$%;]+$")
      message(FATAL_ERROR "LEVELSET_GAME_PROGRAM must be a plain file name: ${LEVELSET_GAME_PROGRAM}")
    endif()
    set(value "\"${LEVELSET_GAME_PROGRAM}\"")
  endif()
  set(setup_fact_${name} "${value}")
  if(value MATCHES "^SETUP_[A-Z_]+(, SETUP_[A-Z_]+)+$")
    string(APPEND setup_facts_text "!macro ForEach${name} MACRO\n")
    string(REGEX REPLACE "(SETUP_[A-Z_]+)" "\"$\\1\"" members "${value}")
    string(REPLACE ", " " " members "${members}")
    string(APPEND setup_facts_shell_text "SETUP_${name}=(${members})\n")
    string(REPLACE ", " ";" members "${value}")
    foreach(member IN LISTS members)
      string(REGEX REPLACE "^SETUP_" "" member "${member}")
      string(APPEND setup_facts_text "  !insertmacro \${MACRO} \"\${${member}}\"\n")
    endforeach()
    string(APPEND setup_facts_text "!macroend\n")
  else()
    string(REPLACE "\\\\" "\\" value "${value}")
    string(APPEND setup_facts_text "!define ${name} ${value}\n")
    string(REGEX REPLACE "^\"(.*)\"$" "'\\1'" value "${value}")
    string(APPEND setup_facts_shell_text "SETUP_${name}=${value}\n")
  endif()
endforeach()
file(CONFIGURE OUTPUT "${setup_facts}" CONTENT "${setup_facts_text}" @ONLY)
file(CONFIGURE OUTPUT "${setup_facts_shell}" CONTENT "${setup_facts_shell_text}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/facts.h")
# The names under which the build packs the program and the helper.
string(REPLACE "\"" "" setup_helper_name "${setup_fact_HELPER_NAME}")
string(REPLACE "\"" "" setup_program_name "${setup_fact_PROGRAM_NAME}")

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
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:levelset-installer>" "${setup_dir}/${setup_program_name}"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:levelset-setup-helper>" "${setup_dir}/${setup_helper_name}"
    COMMAND "${CMAKE_COMMAND}" "-DFILE=${setup_dir}/${setup_program_name}"
            -P "${PROJECT_SOURCE_DIR}/cmake/SignWin32.cmake"
    COMMAND "${CMAKE_COMMAND}" "-DFILE=${setup_dir}/${setup_helper_name}"
            -P "${PROJECT_SOURCE_DIR}/cmake/SignWin32.cmake"
    COMMAND "${LEVELSET_MAKENSIS}" -V2 -INPUTCHARSET UTF8
            "-DVERSION=${PROJECT_VERSION}"
            "-DVERSION_QUAD=${LEVELSET_VERSION_QUAD}"
            "-DPROGRAM=${setup_dir}/${setup_program_name}"
            "-DHELPER=${setup_dir}/${setup_helper_name}"
            "-DLICENSE=${PROJECT_BINARY_DIR}/packaging/LICENSE.txt"
            "-DICON=${PROJECT_SOURCE_DIR}/packaging/icon/quillomar-levelset.ico"
            "-DCOPYRIGHT=${LEVELSET_COPYRIGHT_LINE}"
            "-DOUTFILE=${setup_partial}"
            "-DSIGN=${sign_command}"
            "-DFACTS=${setup_facts}"
            "${CMAKE_CURRENT_SOURCE_DIR}/setup.nsi"
    COMMAND "${CMAKE_COMMAND}" -E rename "${setup_partial}" "${LEVELSET_SETUP_FILE}"
    BYPRODUCTS "${LEVELSET_SETUP_FILE}" "${setup_partial}"
    DEPENDS levelset-installer levelset-setup-helper "${setup_facts}" "${CMAKE_CURRENT_SOURCE_DIR}/setup.nsi"
    COMMENT "Making ${LEVELSET_SETUP_FILE}"
    VERBATIM)
else()
  add_custom_target(setup
    COMMAND "${CMAKE_COMMAND}" -E echo "the setup needs makensis: apt-get install nsis, then configure again"
    COMMAND "${CMAKE_COMMAND}" -E false
    VERBATIM)
endif()
