# qxlsetup.exe, a product built for both architectures: registers the language
# monitor with the spooler. Its checks, and its test under Wine.
add_executable(qxlsetup ${CMAKE_SOURCE_DIR}/src/setup/main.cpp ${CMAKE_SOURCE_DIR}/src/setup/commands.cpp
    ${CMAKE_SOURCE_DIR}/src/setup/system_facts.cpp ${CMAKE_SOURCE_DIR}/src/setup/qxlsetup.rc)
target_include_directories(qxlsetup PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/setup
    ${QXL_VERSION_INCLUDES})
target_link_libraries(qxlsetup PRIVATE winspool advapi32 version)
target_link_options(qxlsetup PRIVATE ${QXL_STATIC_RUNTIME})
set_target_properties(qxlsetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

add_test(NAME setup_tables COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check-dll-tables.sh
    ${QXL_OBJDUMP} $<TARGET_FILE:qxlsetup> ${QXL_PE_FORMAT})
add_test(NAME setup_version_info COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check-version-info.sh
    ${QXL_STRINGS} $<TARGET_FILE:qxlsetup> ${QXL_VERSION} qxlsetup.exe)
set_tests_properties(setup_tables setup_version_info PROPERTIES LABELS native)

if(QXL_BUILD_TESTS)
    add_executable(setup_tests ${CMAKE_SOURCE_DIR}/tests/setup/qxlsetup_test.cpp)
    target_include_directories(setup_tests PRIVATE ${QXL_VERSION_INCLUDES})
    target_link_libraries(setup_tests PRIVATE qxlrig gtest_main)
    target_link_options(setup_tests PRIVATE ${QXL_STATIC_RUNTIME})
    set_target_properties(setup_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
    add_dependencies(setup_tests qxlsetup qxlmon)
    add_test(NAME qxlsetup COMMAND setup_tests WORKING_DIRECTORY ${QXL_BIN})
    set_tests_properties(qxlsetup PROPERTIES TIMEOUT 300)
endif()
