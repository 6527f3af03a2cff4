# The command-line tools qxlmkjob and qxlinspect, natively and as .exe, on the
# monitor's platform-free core (qxlcore). Natively they read and write PNG with
# libpng, and qxlmkjob draws TrueType fonts with FreeType.
set(QXL_TOOLS_SOURCES
    common/args.cpp
    common/commands.cpp
    common/file_io.cpp
    common/netpbm.cpp
    common/packbits.cpp
    common/page_files.cpp
    common/render.cpp
    common/utf8.cpp
    qxlmkjob/font.cpp
    qxlmkjob/job_writer.cpp
    qxlmkjob/label_pages.cpp
    qxlmkjob/picture_ops.cpp
    qxlmkjob/text_label.cpp
    qxlmkjob/typeface.cpp
    qxlinspect/block_fields.cpp
    qxlinspect/monitor_view.cpp
    qxlinspect/spool_listing.cpp
    qxlinspect/stream_listing.cpp
)
list(TRANSFORM QXL_TOOLS_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/tools/)

# The printer's command set as the tools show it, over the monitor's command
# table: the tools list and draw with it, and the tests' emulated printer
# walks what it receives with it.
set(QXL_COMMANDS_SOURCE ${CMAKE_SOURCE_DIR}/tools/common/commands.cpp)
add_library(qxlcommands STATIC ${QXL_COMMANDS_SOURCE})
target_include_directories(qxlcommands PUBLIC ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(qxlcommands PUBLIC qxlcore)

set(QXL_TOOLS_LIBRARY_SOURCES ${QXL_TOOLS_SOURCES})
list(REMOVE_ITEM QXL_TOOLS_LIBRARY_SOURCES ${QXL_COMMANDS_SOURCE})
add_library(qxltools STATIC ${QXL_TOOLS_LIBRARY_SOURCES})
target_include_directories(qxltools PUBLIC ${CMAKE_SOURCE_DIR}/tools PRIVATE ${QXL_VERSION_INCLUDES})
target_link_libraries(qxltools PUBLIC qxlcore qxlcommands)
if(NOT WIN32)
    find_package(PNG REQUIRED)
    find_package(Freetype REQUIRED)
    target_sources(qxltools PRIVATE ${CMAKE_SOURCE_DIR}/tools/common/png_file.cpp)
    target_compile_definitions(qxltools PRIVATE QXL_WITH_PNG QXL_WITH_FREETYPE)
    target_link_libraries(qxltools PUBLIC PNG::PNG Freetype::Freetype)
    target_compile_options(qxltools PRIVATE ${QXL_SANITIZE})
    target_compile_options(qxlcommands PRIVATE ${QXL_SANITIZE})
endif()

foreach(tool qxlmkjob qxlinspect)
    add_executable(${tool} ${CMAKE_SOURCE_DIR}/tools/${tool}/main.cpp)
    target_link_libraries(${tool} PRIVATE qxltools)
    if(WIN32)
        target_link_options(${tool} PRIVATE ${QXL_STATIC_RUNTIME})
        set_target_properties(${tool} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    else()
        target_compile_options(${tool} PRIVATE ${QXL_SANITIZE})
        target_link_options(${tool} PRIVATE ${QXL_SANITIZE})
    endif()
endforeach()

if(NOT WIN32)
    # The inspector's fuzzer: the tools' sources over the fuzzer's own core.
    set(QXL_FUZZ_SOURCES_inspect_fuzz ${QXL_TOOLS_SOURCES})
    set(QXL_FUZZ_SECONDS_inspect_fuzz 10 CACHE STRING "Seconds the inspector's fuzzer runs under ctest")

    # The tools' cases: samples made again, pictures round-tripped, bad input.
    add_executable(png_to_pbm ${CMAKE_SOURCE_DIR}/tests/tools/png_to_pbm.cpp)
    target_link_libraries(png_to_pbm PRIVATE PNG::PNG)
    add_test(NAME tools_cases COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/run_cases.sh
             ${CMAKE_SOURCE_DIR}/tests/tools/native_cases.txt)
    set_tests_properties(tools_cases PROPERTIES ENVIRONMENT
        "MKJOB=$<TARGET_FILE:qxlmkjob>;INSPECT=$<TARGET_FILE:qxlinspect>;PNG2PBM=$<TARGET_FILE:png_to_pbm>;SAMPLES=${CMAKE_SOURCE_DIR}/samples;DATA=${CMAKE_SOURCE_DIR}/tests/tools/data")
endif()
