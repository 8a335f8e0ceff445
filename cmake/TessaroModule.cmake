# A module's sources see the whole viewer/ tree, but the targets that link a module
# see only the headers it names as its interface: those are linked into a folder of
# the build tree that becomes the module's public include path. Any other header of
# the module (such as render's gl_state.h) cannot be included from outside it.
#
#   tessaro_module_headers(<target> <header>...)
#
# The headers are named relative to the module's folder and are included from outside
# as "<module folder>/<header>", the same path the module's own sources use.
function(tessaro_module_headers target)
    get_filename_component(module "${CMAKE_CURRENT_SOURCE_DIR}" NAME)
    set(stage "${PROJECT_BINARY_DIR}/interfaces/${target}")
    file(REMOVE_RECURSE "${stage}")
    file(MAKE_DIRECTORY "${stage}/${module}")
    foreach(header IN LISTS ARGN)
        if(NOT EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${header}")
            message(FATAL_ERROR "${target}: no header ${header} in ${CMAKE_CURRENT_SOURCE_DIR}")
        endif()
        file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}/${header}" "${stage}/${module}/${header}"
             SYMBOLIC)
    endforeach()
    target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/viewer"
                               INTERFACE "$<BUILD_INTERFACE:${stage}>")
endfunction()
