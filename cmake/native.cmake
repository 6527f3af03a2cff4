# Native build of the platform-free code: tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, libFuzzer targets and benchmarks.
enable_testing()
set(QXL_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -g)

include(cmake/layers.cmake)
qxl_add_layers(${QXL_CORE_SOURCES})
foreach(layer ${QXL_LAYERS})
    target_compile_options(qxl_${layer} PRIVATE ${QXL_SANITIZE})
endforeach()

find_package(GTest REQUIRED)
file(GLOB QXL_CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)
add_executable(core_tests ${QXL_CORE_TESTS})
target_compile_options(core_tests PRIVATE ${QXL_SANITIZE})
target_link_options(core_tests PRIVATE ${QXL_SANITIZE})
target_include_directories(core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(core_tests PRIVATE qxlcore GTest::gtest GTest::gtest_main)
add_test(NAME core_tests COMMAND core_tests)

include(cmake/version.cmake)
include(cmake/tools.cmake)

# Each fuzzer runs for a short, bounded time as part of the suite; make fuzz
# runs them for long.
set(QXL_FUZZ_SECONDS 15 CACHE STRING "Seconds each fuzzer runs under ctest")
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    file(GLOB QXL_FUZZERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
    list(LENGTH QXL_FUZZERS fuzzer_count)
    foreach(fuzzer ${QXL_FUZZERS})
        get_filename_component(name ${fuzzer} NAME_WE)
        add_library(${name}_core STATIC ${QXL_CORE_SOURCES})
        target_include_directories(${name}_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
        target_compile_options(${name}_core PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
        add_executable(${name} ${fuzzer} ${QXL_FUZZ_SOURCES_${name}})
        target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tools ${QXL_VERSION_INCLUDES})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(${name} PRIVATE ${name}_core)
        # A fuzzer may name sources of its own and a time of its own.
        set(seconds ${QXL_FUZZ_SECONDS})
        if(DEFINED QXL_FUZZ_SECONDS_${name})
            set(seconds ${QXL_FUZZ_SECONDS_${name}})
        endif()
        add_test(NAME ${name} COMMAND ${name} -max_total_time=${seconds}
                 -rss_limit_mb=2048 -print_final_stats=0)
    endforeach()
endif()

find_package(benchmark QUIET)
if(benchmark_FOUND)
    file(GLOB QXL_BENCHES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/native/*.cpp)
    if(QXL_BENCHES)
        add_library(qxlcore_bench STATIC ${QXL_CORE_SOURCES})
        target_include_directories(qxlcore_bench PUBLIC ${CMAKE_SOURCE_DIR}/src)
        target_compile_options(qxlcore_bench PRIVATE -O2)
        # Realistic jobs come from qxlmkjob's own writer, built here without the sanitizers.
        add_executable(core_bench ${QXL_BENCHES} ${QXL_TOOLS_SOURCES})
        target_include_directories(core_bench PRIVATE ${CMAKE_SOURCE_DIR}/tools ${QXL_VERSION_INCLUDES})
        target_compile_options(core_bench PRIVATE -O2)
        target_link_libraries(core_bench PRIVATE qxlcore_bench benchmark::benchmark_main)
    endif()
endif()

# The status monitor application's platform-free part and its tests.
include(${CMAKE_SOURCE_DIR}/src/qxsmon/sources.cmake)
add_executable(app_core_tests ${QXS_CORE_SOURCES} ${CMAKE_SOURCE_DIR}/tests/app/core/app_core_test.cpp)
target_include_directories(app_core_tests PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(app_core_tests PRIVATE ${QXL_SANITIZE})
target_link_options(app_core_tests PRIVATE ${QXL_SANITIZE})
target_link_libraries(app_core_tests PRIVATE qxlcore GTest::gtest GTest::gtest_main)
add_test(NAME app_core_tests COMMAND app_core_tests)
# The build refuses an upward include: the bottom layer naming a header of a
# layer above it does not compile.
file(WRITE ${CMAKE_BINARY_DIR}/layer_probe.cpp "#include \"stream/scanner.h\"\n")
add_library(layer_probe OBJECT EXCLUDE_FROM_ALL ${CMAKE_BINARY_DIR}/layer_probe.cpp)
target_link_libraries(layer_probe PRIVATE qxl_core)
add_test(NAME include_layers COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layer_probe)
set_tests_properties(include_layers PROPERTIES
    PASS_REGULAR_EXPRESSION "stream/scanner.h'? file not found|stream/scanner.h: No such file")
