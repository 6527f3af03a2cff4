list(APPEND QXL_CORE_SOURCES
    rebuild/rebuild.cpp
    rebuild/spool_file.cpp
    rebuild/tape_table.cpp
    rebuild/walkers.cpp
)
list(APPEND QXL_WIN_SOURCES
    rebuild/rebuild_file.cpp
)
