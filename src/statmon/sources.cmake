list(APPEND QXL_CORE_SOURCES
)
list(APPEND QXL_WIN_SOURCES
    statmon/connect_window.cpp
)
