# The Windows .zip: the program, a note on where it goes and the licence.
# `cpack -G ZIP` in the Windows build directory.
install(TARGETS levelset-installer RUNTIME DESTINATION .)
# Both texts with Windows line ends, whatever the checkout has, so that
# Notepad of any age shows their lines. The setup shows and installs the
# same LICENSE.txt.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt ${PROJECT_BINARY_DIR}/packaging/README.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
        DESTINATION .)

set(CPACK_GENERATOR "ZIP")
set(CPACK_PACKAGE_NAME "quillomar-levelset-installer")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Morvalic")
set(CPACK_SYSTEM_NAME "windows")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installs Quillomar level sets")
include(CPack)
