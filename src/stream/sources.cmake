list(APPEND QXL_CORE_SOURCES
)
list(APPEND QXL_WIN_SOURCES
    stream/write_path.cpp
)
