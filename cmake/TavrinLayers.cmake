# One library per layer folder: tavrin_<folder>, made of the folder's sources, headers and forms
# (platform files carry a _unix or _win suffix; only this platform's are taken). Headers are
# included with their folder ("service/tavrinframe.h"), so every library puts the source root on
# its include path; what keeps the direction of the layers is the check below: a layer may
# include headers of its own folder and of the layers it depends on, directly or through them.
#
#   tavrin_add_layer(<folder> [DEPENDS <folder>...] [PUBLIC_LIBRARIES <target>...]
#                    [LIBRARIES <target>...] [EXCLUDE <file>...])
#
# PUBLIC_LIBRARIES are those the folder's headers need; LIBRARIES only its sources.

function(tavrin_folder_sources folder out)
    cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
    set(dir ${PROJECT_SOURCE_DIR}/${folder})
    file(GLOB candidates CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.ui)
    set(sources)
    foreach(source ${candidates})
        get_filename_component(fileName ${source} NAME)
        get_filename_component(baseName ${source} NAME_WE)
        if(fileName IN_LIST ARG_EXCLUDE)
            continue()
        endif()
        if((WIN32 AND baseName MATCHES "_unix$") OR (NOT WIN32 AND baseName MATCHES "_win$"))
            continue()
        endif()
        list(APPEND sources ${source})
    endforeach()
    set(${out} ${sources} PARENT_SCOPE)
endfunction()

# Stops the configuration when a source of the folder includes a header of a folder that is
# not among the allowed ones, in quotes or in angle brackets.
function(tavrin_check_includes folder allowed)
    tavrin_folder_sources(${folder} sources)
    foreach(source ${sources})
        file(STRINGS ${source} lines REGEX "^#include [\"<][a-z]+/")
        foreach(line ${lines})
            string(REGEX REPLACE "^#include [\"<]([a-z]+)/.*" "\\1" included "${line}")
            # <sys/...> and the like are the system's; only the project's folders are checked.
            if(NOT included IN_LIST TAVRIN_LAYER_FOLDERS)
                continue()
            endif()
            if(NOT included IN_LIST allowed)
                file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${source})
                message(FATAL_ERROR "${shown} includes a header of \"${included}\", which the "
                    "layer \"${folder}\" does not depend on (it may use: ${allowed})")
            endif()
        endforeach()
    endforeach()
endfunction()

# The library layers, from the bottom; app/ (main() only) and sim/ (the stand-in) sit on top and
# are checked as layers too.
set(TAVRIN_LIBRARY_LAYERS base service settings webapi ping widgets ui)
set(TAVRIN_LAYER_FOLDERS ${TAVRIN_LIBRARY_LAYERS} app sim)

function(tavrin_add_layer folder)
    cmake_parse_arguments(ARG "" "" "DEPENDS;PUBLIC_LIBRARIES;LIBRARIES;EXCLUDE" ${ARGN})
    tavrin_folder_sources(${folder} sources EXCLUDE ${ARG_EXCLUDE})
    add_library(tavrin_${folder} STATIC ${sources})
    target_include_directories(tavrin_${folder} PUBLIC ${PROJECT_SOURCE_DIR})
    set(allowed ${folder})
    foreach(dependency ${ARG_DEPENDS})
        target_link_libraries(tavrin_${folder} PUBLIC tavrin_${dependency})
        get_property(below GLOBAL PROPERTY TAVRIN_LAYER_${dependency})
        list(APPEND allowed ${below})
    endforeach()
    target_link_libraries(tavrin_${folder} PUBLIC ${ARG_PUBLIC_LIBRARIES} PRIVATE ${ARG_LIBRARIES})
    list(REMOVE_DUPLICATES allowed)
    set_property(GLOBAL PROPERTY TAVRIN_LAYER_${folder} ${allowed})
    tavrin_check_includes(${folder} "${allowed}")
endfunction()
