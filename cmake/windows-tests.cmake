# The stand-ins (spooler, port monitors with their emulated printer, the status
# monitor application) and the test programs that run under Wine.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(QXL_BIN ${CMAKE_BINARY_DIR}/bin)

file(GLOB QXL_RIG_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/rig/*.cpp)
add_library(qxlrig STATIC ${QXL_RIG_SOURCES})
target_include_directories(qxlrig PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(qxlrig PUBLIC qxlcommands gtest user32 gdi32 advapi32 winspool psapi)

# The status monitor application stand-in, found by the monitor as QXSMON.EXE.
file(GLOB QXL_QXSMON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/qxsmon/*.cpp)
if(QXL_QXSMON_SOURCES)
    add_executable(qxsmon WIN32 ${QXL_QXSMON_SOURCES})
    target_include_directories(qxsmon PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
    set_target_properties(qxsmon PROPERTIES OUTPUT_NAME QXSMON SUFFIX ".EXE"
        RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
    target_link_libraries(qxsmon PRIVATE user32 gdi32)
    target_link_options(qxsmon PRIVATE ${QXL_STATIC_RUNTIME})
endif()

# A port monitor DLL for the spooler: reports network print server ports.
add_library(nxportmon SHARED ${CMAKE_SOURCE_DIR}/tools/nxportmon/nxportmon.cpp
    ${CMAKE_SOURCE_DIR}/tools/nxportmon/nxportmon.def)
set_target_properties(nxportmon PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
target_link_options(nxportmon PRIVATE ${QXL_STATIC_RUNTIME})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # The .def names the stdcall export undecorated, as the spooler looks it up.
    target_link_options(nxportmon PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# White-box tests: the static library, plus the platform-free tests again.
file(GLOB QXL_WHITEBOX_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/tests/core/*.cpp ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
add_executable(whitebox_tests ${QXL_WHITEBOX_SOURCES})
target_link_libraries(whitebox_tests PRIVATE qxlmon_lib qxlrig gtest_main)
target_link_options(whitebox_tests PRIVATE ${QXL_STATIC_RUNTIME})
set_target_properties(whitebox_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
add_dependencies(whitebox_tests nxportmon)
if(TARGET qxsmon)
    add_dependencies(whitebox_tests qxsmon)
endif()

# Black-box tests: the real DLL, loaded as the spooler loads it.
file(GLOB QXL_BLACKBOX_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/blackbox/*.cpp)
add_executable(blackbox_tests ${QXL_BLACKBOX_SOURCES})
target_link_libraries(blackbox_tests PRIVATE qxlrig gtest_main)
target_link_options(blackbox_tests PRIVATE ${QXL_STATIC_RUNTIME})
set_target_properties(blackbox_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
add_dependencies(blackbox_tests qxlmon nxportmon)
if(TARGET qxsmon)
    add_dependencies(blackbox_tests qxsmon)
endif()

# qxlprint (the spooler as a command) and the timing harness: the spooler's
# side only, loading the real DLL.
file(GLOB QXL_QXLPRINT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/qxlprint/*.cpp)
add_executable(qxlprint ${QXL_QXLPRINT_SOURCES})
# Its report reads the notification blocks with the application's own decoders.
target_link_libraries(qxlprint PRIVATE qxltools qxsmon_core)
file(GLOB QXL_TIMING_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/wine/*.cpp)
add_executable(qxltiming ${QXL_TIMING_SOURCES})
# The harness times the rebuild itself (the monitor's library) on spool files
# that the tools write.
target_link_libraries(qxltiming PRIVATE qxlmon_lib qxltools psapi)
foreach(program qxlprint qxltiming)
    target_link_libraries(${program} PRIVATE qxlrig)
    target_link_options(${program} PRIVATE ${QXL_STATIC_RUNTIME})
    set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
    add_dependencies(${program} qxlmon)
    if(TARGET qxsmon)
        add_dependencies(${program} qxsmon)
    endif()
endforeach()
# A language monitor that passes every call straight on, for the timing
# harness only: the monitor's own cost is timed against it.
add_library(qxlpassthru SHARED ${CMAKE_SOURCE_DIR}/bench/passthru/passthru.cpp
    ${CMAKE_SOURCE_DIR}/bench/passthru/passthru.def)
target_include_directories(qxlpassthru PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(qxlpassthru PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
target_link_options(qxlpassthru PRIVATE ${QXL_STATIC_RUNTIME})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    target_link_options(qxlpassthru PRIVATE -Wl,--enable-stdcall-fixup)
endif()
add_dependencies(qxltiming qxlpassthru nxportmon)
# qxlprint's directory holds no QXSMON.EXE, so the monitor's search goes on to
# the current directory, which qxlprint sets to the application of its choice.
set_target_properties(qxlprint PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/qxlprint)
add_dependencies(qxlprint nxportmon)

# qxlprint and the .exe tools, one test per row of their case table, so that
# the rows, which mostly wait on the printer, run side by side.
string(REPLACE ";" " " QXL_WINE "${CMAKE_CROSSCOMPILING_EMULATOR}")
file(STRINGS ${CMAKE_SOURCE_DIR}/tests/tools/wine_cases.txt QXL_WINE_CASES REGEX "^[a-z]")
foreach(row ${QXL_WINE_CASES})
    string(REGEX MATCH "^[a-z_]+" name "${row}")
    add_test(NAME tools_${name} COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/run_cases.sh
             ${CMAKE_SOURCE_DIR}/tests/tools/wine_cases.txt ${name})
    set_tests_properties(tools_${name} PROPERTIES TIMEOUT 300 ENVIRONMENT
        "QXLPRINT=${QXL_WINE} $<TARGET_FILE:qxlprint>;QXLPRINT_SH=sh ${CMAKE_SOURCE_DIR}/tools/qxlprint.sh;QXL_BUILD=${CMAKE_BINARY_DIR}/..;MKJOB_EXE=${QXL_WINE} $<TARGET_FILE:qxlmkjob>;INSPECT_EXE=${QXL_WINE} $<TARGET_FILE:qxlinspect>;SAMPLES=${CMAKE_SOURCE_DIR}/samples;DATA=${CMAKE_SOURCE_DIR}/tests/tools/data")
endforeach()

# Shards let ctest run the slow, waiting tests side by side.
set(QXL_WHITEBOX_SHARDS 8 CACHE STRING "Shards of the white-box test program")
math(EXPR last_shard "${QXL_WHITEBOX_SHARDS} - 1")
foreach(shard RANGE ${last_shard})
    add_test(NAME whitebox_${shard} COMMAND whitebox_tests WORKING_DIRECTORY ${QXL_BIN})
    set_tests_properties(whitebox_${shard} PROPERTIES TIMEOUT 600 ENVIRONMENT
        "GTEST_TOTAL_SHARDS=${QXL_WHITEBOX_SHARDS};GTEST_SHARD_INDEX=${shard}")
endforeach()
set(QXL_BLACKBOX_SHARDS 6 CACHE STRING "Shards of the black-box test program")
math(EXPR last_shard "${QXL_BLACKBOX_SHARDS} - 1")
foreach(shard RANGE ${last_shard})
    add_test(NAME blackbox_${shard} COMMAND blackbox_tests WORKING_DIRECTORY ${QXL_BIN})
    # The longest tests start first (a clean clone has no timings of its own).
    set_tests_properties(blackbox_${shard} PROPERTIES TIMEOUT 600 COST 60 ENVIRONMENT
        "GTEST_TOTAL_SHARDS=${QXL_BLACKBOX_SHARDS};GTEST_SHARD_INDEX=${shard}")
endforeach()

# The fault matrix: whole jobs through the real DLL with one fault each. A
# sample runs with the tests; `make faults` runs the whole matrix and the soak.
file(GLOB QXL_FAULTS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/faults/*.cpp)
add_executable(faults ${QXL_FAULTS_SOURCES})
target_link_libraries(faults PRIVATE qxlrig)
target_link_options(faults PRIVATE ${QXL_STATIC_RUNTIME})
set_target_properties(faults PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QXL_BIN})
add_dependencies(faults qxlmon nxportmon qxsmon)
add_test(NAME faults_sample COMMAND faults --sample --jobs 5 WORKING_DIRECTORY ${QXL_BIN})
set_tests_properties(faults_sample PROPERTIES TIMEOUT 600 COST 100)


# The status monitor application's tests and screenshots: programs in app/,
# beside the product QXSMON.EXE, that load the DLL from bin/.
add_library(qxsmon_testrig STATIC ${CMAKE_SOURCE_DIR}/tests/app/app_rig.cpp)
target_link_libraries(qxsmon_testrig PUBLIC qxlrig)
file(GLOB QXL_APP_TEST_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/tests/app/*_test.cpp ${CMAKE_SOURCE_DIR}/tests/app/core/*.cpp)
add_executable(app_tests ${QXL_APP_TEST_SOURCES})
target_link_libraries(app_tests PRIVATE qxsmon_core qxsmon_testrig gtest_main comctl32)
add_executable(qxlshots ${CMAKE_SOURCE_DIR}/tools/screenshots/screenshots.cpp)
target_link_libraries(qxlshots PRIVATE qxsmon_testrig gdiplus ole32)
foreach(program app_tests qxlshots)
    target_link_options(${program} PRIVATE ${QXL_STATIC_RUNTIME})
    set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QXL_APP})
    add_dependencies(${program} qxsmon_app qxlmon)
endforeach()
add_test(NAME app COMMAND app_tests WORKING_DIRECTORY ${QXL_APP})
set_tests_properties(app PROPERTIES TIMEOUT 600 COST 50)
