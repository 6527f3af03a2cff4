# The status monitor application: its platform-free part (block decoding, the
# state table and the headless policy) and the Win32 program around it.
set(QXS_CORE_SOURCES qxsmon/blocks.cpp qxsmon/states.cpp)
set(QXS_WIN_SOURCES qxsmon/environment.cpp qxsmon/main.cpp qxsmon/notifications.cpp
    qxsmon/status_window.cpp qxsmon/trace.cpp qxsmon/view.cpp qxsmon/qxsmon.rc)
list(TRANSFORM QXS_CORE_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/src/)
list(TRANSFORM QXS_WIN_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/src/)
