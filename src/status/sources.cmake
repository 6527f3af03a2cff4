list(APPEND QXL_CORE_SOURCES
    status/decode.cpp
    status/packet_sync.cpp
)
list(APPEND QXL_WIN_SOURCES
    status/port_controls.cpp
    status/port_status.cpp
    status/readers.cpp
    status/wait_loop.cpp
)
