# What makes a build a release: one version, and artefacts that come out the
# same byte for byte whoever builds them, wherever and whenever, with the
# same tools (see "Releases" in docs/packaging.md).

# The version is set once, in project(): the .deb, the .zip's name, the
# changelog and the Windows version resource take it from there.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "The project's version is MAJOR.MINOR.PATCH, not \"${PROJECT_VERSION}\"")
endif()

# The copyright line of LICENSE ("Copyright (c) <year> <holder>"): the Windows
# version resources carry it whole, the .deb's copyright file what follows
# "Copyright (c) ".
file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" LEVELSET_COPYRIGHT_LINE REGEX "^Copyright " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright \\(c\\) " "" LEVELSET_COPYRIGHT "${LEVELSET_COPYRIGHT_LINE}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE")

# Time stamps are those of the last commit, or SOURCE_DATE_EPOCH when it is
# set: the changelog's date here, and the file times in the .deb and the .zip.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(LEVELSET_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                  OUTPUT_VARIABLE LEVELSET_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT LEVELSET_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(WARNING "No SOURCE_DATE_EPOCH and no commit to take the time from: "
                  "the packages carry the time of this configuration")
  string(TIMESTAMP LEVELSET_SOURCE_DATE_EPOCH "%s" UTC)
endif()
set(ENV{SOURCE_DATE_EPOCH} "${LEVELSET_SOURCE_DATE_EPOCH}")
# cpack runs later, in an environment of its own: it is given the same time.
file(WRITE "${PROJECT_BINARY_DIR}/CPackSourceDateEpoch.cmake"
     "set(ENV{SOURCE_DATE_EPOCH} \"${LEVELSET_SOURCE_DATE_EPOCH}\")\n")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/CPackSourceDateEpoch.cmake")
# Where CPack's own packages would depend on the machine or the user that
# made them, they are packed again.
list(APPEND CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/CPackReproducible.cmake")

# No path of this checkout in what the compiler writes (debug information,
# __FILE__): sources are named from the top of the tree.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.")
endif()
