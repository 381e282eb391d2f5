# zr_export_only(<module> <version script>): a Linux module exports what the script lists and nothing else
# (the VST 2 and the LV2 module).
function(zr_export_only module script)
    target_link_options(${module} PRIVATE -Wl,--version-script=${script} -Wl,--exclude-libs,ALL)
    if(NOT ZR_SANITIZE)
        # Every symbol resolved at link time: a host must never meet an unresolved one at load time.
        target_link_options(${module} PRIVATE -Wl,-z,defs)
    endif()
    set_property(TARGET ${module} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# zr_add_vst_plugin(<module> LIBRARY <library> COMPRESSOR <compressor library> OUTPUT_DIRECTORY <folder>
#                   [EDITOR <editor library>]): the in-process plug-in library that tests and tools link, and the
# VST 2 module over it, with the editor where the platform can show one. One recipe for the plug-in and for
# the pinned copies built over a compressor whose detector is capped (those without an editor).
function(zr_add_vst_plugin module)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "LIBRARY;COMPRESSOR;OUTPUT_DIRECTORY;EDITOR" "")
    add_library(${arg_LIBRARY} STATIC ${CMAKE_SOURCE_DIR}/ZaRorurarozePlugin.cpp)
    target_link_libraries(${arg_LIBRARY} PUBLIC musicplugin ${arg_COMPRESSOR} zr_common)

    add_library(${module} MODULE ${CMAKE_SOURCE_DIR}/main.cpp)
    target_link_libraries(${module} PRIVATE ${arg_LIBRARY} musicplugin_vst)
    if(arg_EDITOR AND TARGET musicplugin_vst_editor)
        target_link_libraries(${module} PRIVATE musicplugin_vst_editor ${arg_EDITOR})
        target_compile_definitions(${module} PRIVATE ZR_WITH_EDITOR=1)
    endif()
    set_target_properties(${module} PROPERTIES
        PREFIX ""
        LIBRARY_OUTPUT_DIRECTORY ${arg_OUTPUT_DIRECTORY}
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)

    if(WIN32)
        # Hosts on a musician's machine have no compiler runtime: link it in.
        target_link_options(${module} PRIVATE -static -static-libgcc -static-libstdc++)
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            target_sources(${module} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/ZaRoruraroze-win32.def)
        else()
            target_sources(${module} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/ZaRoruraroze-win64.def)
        endif()
        set_target_properties(${module} PROPERTIES SUFFIX ".dll")
    else()
        # The two entry points.
        zr_export_only(${module} ${CMAKE_SOURCE_DIR}/cmake/ZaRoruraroze.map)
    endif()
endfunction()

# zr_add_pinned_vst_plugins(<variable> OUTPUT_DIRECTORY <folder> PATHS <path>...): the plug-in binary once
# more for each detector path named (scalar, sse2, avx2), ZaRoruraroze-<path>, whose detector takes no wider
# one (ZaRoruraroze itself takes the widest the CPU has), so that a CPU with wider paths still runs the narrow
# ones through the VST 2 interface. Sets <variable> to the modules.
function(zr_add_pinned_vst_plugins variable)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_DIRECTORY" "PATHS")
    set(levels scalar sse2 avx2)
    set(modules)
    foreach(path IN LISTS arg_PATHS)
        list(FIND levels ${path} level)
        zr_add_compressor(compressor-${path} WIDEST_PATH ${level})
        zr_add_vst_plugin(ZaRoruraroze-${path}
            LIBRARY zaroruraroze_plugin-${path}
            COMPRESSOR compressor-${path}
            OUTPUT_DIRECTORY ${arg_OUTPUT_DIRECTORY})
        list(APPEND modules ZaRoruraroze-${path})
    endforeach()
    set(${variable} ${modules} PARENT_SCOPE)
endfunction()

zr_add_vst_plugin(ZaRoruraroze
    LIBRARY zaroruraroze_plugin
    COMPRESSOR compressor
    OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    EDITOR zaroruraroze_editor)
# The compressor's editor, over the plug-in library above.
add_subdirectory(${CMAKE_SOURCE_DIR}/editor ${CMAKE_BINARY_DIR}/editor)

if(NOT WIN32)
    # Where Linux hosts look: ~/.vst for a user, /usr/lib/vst system-wide, or below an explicit prefix.
    zr_install_dir(ZR_VST_INSTALL_DIR "Folder the plug-in is installed into" /usr/lib/vst .vst lib/vst)
    install(TARGETS ZaRoruraroze LIBRARY DESTINATION ${ZR_VST_INSTALL_DIR})
endif()
