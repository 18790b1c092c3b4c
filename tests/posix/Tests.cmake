# Tests of the POSIX backend and of the built program.

# The built program, run as a user runs it.
add_library(e2e_support STATIC ${CMAKE_CURRENT_SOURCE_DIR}/posix/e2e_support.cpp)
target_include_directories(e2e_support PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(e2e_support PUBLIC INSTALLER_PATH="$<TARGET_FILE:levelset-installer>")
target_link_libraries(e2e_support PUBLIC GTest::gtest util)
add_dependencies(e2e_support levelset-installer)

# The backend's own behaviour, in process.
add_executable(posix_tests ${CMAKE_CURRENT_SOURCE_DIR}/posix/posix_platform_test.cpp)
target_link_libraries(posix_tests PRIVATE platform_posix e2e_support GTest::gtest_main)
target_include_directories(posix_tests PRIVATE ${PROJECT_SOURCE_DIR})
levelset_test_cases(posix_tests)

add_executable(e2e_tests ${CMAKE_CURRENT_SOURCE_DIR}/posix/e2e_test.cpp)
target_link_libraries(e2e_tests PRIVATE e2e_support GTest::gtest_main)
levelset_test_cases(e2e_tests PROPERTIES TIMEOUT 120)

# Real faults against the built program: killed while copying, a Levels
# directory it may not write, a source gone before the copy.
target_sources(e2e_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/posix/fault_e2e_test.cpp)

# Preloaded into the installer by one end-to-end row: swaps the source for
# a link just before it is opened. Plain code: the sanitizers' runtime is
# the program's own.
add_library(swap_preload MODULE ${CMAKE_CURRENT_SOURCE_DIR}/posix/swap_preload.cpp)
target_compile_options(swap_preload PRIVATE -fno-sanitize=all)
target_link_libraries(swap_preload PRIVATE ${CMAKE_DL_LIBS})
target_compile_definitions(e2e_tests PRIVATE SWAP_PRELOAD="$<TARGET_FILE:swap_preload>")
add_dependencies(e2e_tests swap_preload)
