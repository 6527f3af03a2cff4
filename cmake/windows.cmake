# Windows build: the products (qxlmon.dll and qxlsetup.exe), the DLL's static
# library, the stand-ins and the tests that run under Wine.
enable_language(RC)
include(cmake/version.cmake)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type
    -Wno-missing-field-initializers)  # designated initializers leave the rest at their defaults
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
set(QXL_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

include(cmake/layers.cmake)
qxl_add_layers(${QXL_CORE_SOURCES} ${QXL_WIN_SOURCES})
target_link_libraries(qxl_core PUBLIC advapi32)
target_link_libraries(qxl_statmon PUBLIC user32 gdi32)
target_link_libraries(qxl_status PUBLIC winspool)
# The whole monitor, for the DLL and the white-box tests.
add_library(qxlmon_lib INTERFACE)
target_link_libraries(qxlmon_lib INTERFACE qxl_monitor)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(QXL_DEF ${CMAKE_SOURCE_DIR}/src/dll/qxlmon-i686.def)
else()
    set(QXL_DEF ${CMAKE_SOURCE_DIR}/src/dll/qxlmon-x86_64.def)
endif()
add_library(qxlmon SHARED ${CMAKE_SOURCE_DIR}/src/dll/dll_main.cpp ${QXL_DEF}
    ${CMAKE_SOURCE_DIR}/src/dll/qxlmon.rc)
target_include_directories(qxlmon PRIVATE ${QXL_VERSION_INCLUDES})
set_target_properties(qxlmon PROPERTIES PREFIX "" OUTPUT_NAME qxlmon
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(qxlmon PRIVATE qxlmon_lib)
target_link_options(qxlmon PRIVATE ${QXL_STATIC_RUNTIME})

include(cmake/tools.cmake)

enable_testing()
# The products' tables and version resources, checked natively (label
# "native": make test runs them in both builds, outside Wine).
add_test(NAME dll_tables COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check-dll-tables.sh
    ${QXL_OBJDUMP} $<TARGET_FILE:qxlmon> ${QXL_PE_FORMAT}
    InitializeMonitorEx InitializePrintMonitor2 ConnectThreadProc DllEntryPoint)
add_test(NAME dll_version_info COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check-version-info.sh
    ${QXL_STRINGS} $<TARGET_FILE:qxlmon> ${QXL_VERSION} qxlmon.dll)
set_tests_properties(dll_tables dll_version_info PROPERTIES LABELS native)

include(cmake/app.cmake)

option(QXL_BUILD_TESTS "Build the stand-ins and the Wine tests" ON)
if(QXL_BUILD_TESTS)
    include(cmake/windows-tests.cmake)
endif()
include(cmake/setup.cmake)
