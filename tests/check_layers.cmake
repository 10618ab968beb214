# Fails when a source under src/ includes a header of a layer above its own, or of another layer
# at the same height (finders and system, the store and the Qt platform back ends). Run with
# cmake -DSOURCE_DIR=<repo>/src -P check_layers.cmake.

# Folder, then its height: a folder may include its own headers and those of lower heights.
set(LAYERS
    base 0
    platform 1
    engine 2
    finders 3
    system 3
    platform/qt 4
    store 4
    app/cli 5
    appearance 6
    settings 7
    sheets 8
    mainwindow 9
    app/gui 10
    app 11)

function(layer_of path out_folder out_height)
    set(best_folder "")
    set(best_height -1)
    list(LENGTH LAYERS count)
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last} 2)
        math(EXPR j "${i} + 1")
        list(GET LAYERS ${i} folder)
        list(GET LAYERS ${j} height)
        string(LENGTH "${folder}/" length)
        string(SUBSTRING "${path}" 0 ${length} head)
        # The longest matching folder wins ("platform/qt" over "platform").
        string(LENGTH "${best_folder}" best_length)
        if(head STREQUAL "${folder}/" AND length GREATER best_length)
            set(best_folder "${folder}")
            set(best_height ${height})
        endif()
    endforeach()
    set(${out_folder} "${best_folder}" PARENT_SCOPE)
    set(${out_height} ${best_height} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(faults "")
foreach(source ${sources})
    layer_of("${source}" folder height)
    if(height LESS 0)
        string(APPEND faults "  ${source}: in no layer (add its folder to check_layers.cmake)\n")
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
        layer_of("${header}" header_folder header_height)
        if(header_height LESS 0)
            continue() # a header beside the source, not one of the layers
        endif()
        if(header_height GREATER height OR
           (header_height EQUAL height AND NOT header_folder STREQUAL folder))
            string(APPEND faults "  ${source} (${folder}) includes ${header} (${header_folder})\n")
        endif()
    endforeach()
endforeach()

if(faults)
    message(FATAL_ERROR "Includes that point up or sideways between layers:\n${faults}")
endif()
message(STATUS "Every include points down (${SOURCE_DIR})")
