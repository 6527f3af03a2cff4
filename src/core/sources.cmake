# The bottom layer: the shared vocabulary (the port record and its field
# types, the process state, ticks and wait bounds, the port monitor's table
# and the calls through it, the trace, texts between wide and ANSI). It
# includes nothing above it.
list(APPEND QXL_CORE_SOURCES
    core/printer_commands.cpp
    core/printer_states.cpp
    core/trace_format.cpp
)
list(APPEND QXL_WIN_SOURCES
    core/port_calls.cpp
    core/process_state.cpp
    core/trace_events.cpp
    core/trace_sink.cpp
    core/wait_bounds.cpp
    core/wide_text.cpp
)
