list(APPEND QXL_CORE_SOURCES
)
list(APPEND QXL_WIN_SOURCES
    stream/transmit.cpp
    stream/reply_and_reset.cpp
    stream/write_path.cpp
)
