list(APPEND QXL_CORE_SOURCES
    stream/scanner.cpp
)
list(APPEND QXL_WIN_SOURCES
    stream/recovery.cpp
    stream/transmit.cpp
    stream/reset_sequence.cpp
    stream/segment_list.cpp
    stream/write_path.cpp
)
