# One static library per folder of src/, qxl_<folder>, linked in the layers'
# direction: core <- statmon <- status <- stream <- monitor, and core <-
# rebuild <- monitor. Each library sees the headers of its own folder and of
# the folders below it only (a link to the folder under build/layers/), so
# the build refuses an include that goes up.
set(QXL_LAYERS core rebuild statmon status stream monitor)
set(QXL_LAYER_BELOW_rebuild core)
set(QXL_LAYER_BELOW_statmon core)
set(QXL_LAYER_BELOW_status statmon)
set(QXL_LAYER_BELOW_stream status)
set(QXL_LAYER_BELOW_monitor stream rebuild)

# qxl_add_layers(SOURCES...): each layer's library from the sources in its folder.
function(qxl_add_layers)
    foreach(layer ${QXL_LAYERS})
        set(root ${CMAKE_BINARY_DIR}/layers/${layer})
        if(NOT EXISTS ${root}/${layer})
            file(MAKE_DIRECTORY ${root})
            file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${layer} ${root}/${layer} SYMBOLIC)
        endif()
        set(sources ${ARGN})
        list(FILTER sources INCLUDE REGEX "/src/${layer}/")
        add_library(qxl_${layer} STATIC ${sources})
        target_include_directories(qxl_${layer} PUBLIC ${root})
        foreach(below ${QXL_LAYER_BELOW_${layer}})
            target_link_libraries(qxl_${layer} PUBLIC qxl_${below})
        endforeach()
    endforeach()
    # The platform-free core for the tools, the application and the tests: the
    # layers all, of which a program takes only what it uses.
    add_library(qxlcore INTERFACE)
    target_link_libraries(qxlcore INTERFACE qxl_monitor)
endfunction()
