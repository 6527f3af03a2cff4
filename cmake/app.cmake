# The status monitor application QXSMON.EXE, built on every Windows build. It
# goes to app/, apart from the scripted stand-in of the same name in bin/: the
# monitor starts "QXSMON.EXE QX28" by the search order, which looks first in
# the directory of the program that loaded it.
enable_language(RC)
include(${CMAKE_SOURCE_DIR}/src/qxsmon/sources.cmake)
set(QXL_APP ${CMAKE_BINARY_DIR}/app)

add_library(qxsmon_core STATIC ${QXS_CORE_SOURCES})
target_include_directories(qxsmon_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
# The state table lives in the monitor's platform-free core.
target_link_libraries(qxsmon_core PUBLIC qxlcore)

add_executable(qxsmon_app WIN32 ${QXS_WIN_SOURCES})
target_include_directories(qxsmon_app PRIVATE ${CMAKE_SOURCE_DIR}/src/qxsmon)
set_target_properties(qxsmon_app PROPERTIES OUTPUT_NAME QXSMON SUFFIX ".EXE"
    RUNTIME_OUTPUT_DIRECTORY ${QXL_APP})
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/qxsmon/qxsmon.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/src/qxsmon/resource.h;${CMAKE_SOURCE_DIR}/src/core/state_texts.h;${CMAKE_SOURCE_DIR}/src/qxsmon/qxsmon.manifest;${CMAKE_SOURCE_DIR}/src/qxsmon/qxsmon.ico")
target_link_libraries(qxsmon_app PRIVATE qxsmon_core comctl32 user32 gdi32 advapi32)
target_link_options(qxsmon_app PRIVATE ${QXL_STATIC_RUNTIME})

# Its import table (checked natively with objdump, like the DLL's tables).
add_test(NAME app_tables COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check-app-imports.sh
    ${QXL_OBJDUMP} $<TARGET_FILE:qxsmon_app>)
set_tests_properties(app_tables PROPERTIES LABELS native)
