list(APPEND QXL_CORE_SOURCES
    statmon/progress.cpp
)
list(APPEND QXL_WIN_SOURCES
    statmon/blocks.cpp
    statmon/find_window.cpp
    statmon/notify.cpp
    statmon/connect_window.cpp
    statmon/launch.cpp
    statmon/reply_check.cpp
)
