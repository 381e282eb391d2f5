# The plug-in module and the in-process plug-in library that tests and tools link.

add_library(zaroruraroze_plugin STATIC ${CMAKE_SOURCE_DIR}/ZaRorurarozePlugin.cpp)
target_link_libraries(zaroruraroze_plugin PUBLIC musicplugin compressor zr_common)

add_library(ZaRoruraroze MODULE ${CMAKE_SOURCE_DIR}/main.cpp)
target_link_libraries(ZaRoruraroze PRIVATE zaroruraroze_plugin musicplugin_vst)
set_target_properties(ZaRoruraroze PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)

if(WIN32)
    # Hosts on a musician's machine have no compiler runtime: link it in.
    target_link_options(ZaRoruraroze PRIVATE -static -static-libgcc -static-libstdc++)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_sources(ZaRoruraroze PRIVATE ${CMAKE_SOURCE_DIR}/cmake/ZaRoruraroze-win32.def)
    else()
        target_sources(ZaRoruraroze PRIVATE ${CMAKE_SOURCE_DIR}/cmake/ZaRoruraroze-win64.def)
    endif()
    set_target_properties(ZaRoruraroze PROPERTIES SUFFIX ".dll")
else()
    # Export the two entry points and nothing else.
    target_link_options(ZaRoruraroze PRIVATE
        -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/ZaRoruraroze.map -Wl,--exclude-libs,ALL)
    if(NOT ZR_SANITIZE)
        # Every symbol resolved at link time: a host must never meet an unresolved one at load time.
        target_link_options(ZaRoruraroze PRIVATE -Wl,-z,defs)
    endif()
    set_property(TARGET ZaRoruraroze APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/ZaRoruraroze.map)

    # Where Linux hosts look: ~/.vst for a user, /usr/lib/vst system-wide, or below an explicit prefix.
    zr_install_dir(ZR_VST_INSTALL_DIR "Folder the plug-in is installed into" /usr/lib/vst .vst lib/vst)
    install(TARGETS ZaRoruraroze LIBRARY DESTINATION ${ZR_VST_INSTALL_DIR})
endif()
