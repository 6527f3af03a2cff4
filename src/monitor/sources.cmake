# Platform-free sources go to QXL_CORE_SOURCES (native and Windows builds);
# Win32 sources to QXL_WIN_SOURCES.
list(APPEND QXL_CORE_SOURCES
    monitor/port_name.cpp
)
list(APPEND QXL_WIN_SOURCES
    monitor/entry_points.cpp
    monitor/job_end.cpp
    monitor/multi_copy_replay.cpp
    monitor/job_start.cpp
    monitor/open_close.cpp
    monitor/passthrough.cpp
    monitor/trace_rebuild.cpp
    monitor/wide_lower.cpp
    monitor/wide_ops.cpp
)
