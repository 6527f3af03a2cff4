list(APPEND QXL_CORE_SOURCES
    stream/scanner.cpp
)
list(APPEND QXL_WIN_SOURCES
    stream/transmit.cpp
    stream/reply_and_reset.cpp
    stream/segment_list.cpp
    stream/write_path.cpp
)
