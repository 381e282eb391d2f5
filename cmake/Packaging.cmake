# The tools, their manual pages, the documents and the presets beside the plug-ins, and the Debian package
# of it all (cpack; ./dist.sh configures with -DCMAKE_INSTALL_PREFIX=/usr and makes it).

zr_install_dir(ZR_BIN_INSTALL_DIR "Folder the tools are installed into" /usr/local/bin .local/bin bin)
zr_install_dir(ZR_MAN_INSTALL_DIR "Folder of the tools' manual pages" /usr/local/share/man/man1
    .local/share/man/man1 share/man/man1)
zr_install_dir(ZR_DOC_INSTALL_DIR "Folder of the manual and the presets" /usr/local/share/doc/zaroruraroze
    .local/share/doc/zaroruraroze share/doc/zaroruraroze)

# Manual pages made from each tool's --help at build time, so the two say the same.
find_package(Python3 COMPONENTS Interpreter)
set(_zr_pages)
foreach(tool_and_summary
        "zaroruraroze-render|render audio files through a VST 2 plug-in, offline|zaroruraroze-jack"
        "zaroruraroze-jack|run the ZaRoruraroze compressor as a JACK client|zaroruraroze-render")
    string(REPLACE "|" ";" _zr_fields "${tool_and_summary}")
    list(GET _zr_fields 0 tool)
    list(GET _zr_fields 1 summary)
    list(GET _zr_fields 2 see_also)
    if(NOT TARGET ${tool})
        continue()
    endif()
    install(TARGETS ${tool} RUNTIME DESTINATION ${ZR_BIN_INSTALL_DIR})
    if(Python3_Interpreter_FOUND)
        set(page ${CMAKE_BINARY_DIR}/man/${tool}.1.gz)
        add_custom_command(OUTPUT ${page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/man/make-manpage.py $<TARGET_FILE:${tool}>
                    "${summary}" ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/man/${tool}.1 ${see_also}
            COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${tool}.1
            DEPENDS ${tool} ${CMAKE_SOURCE_DIR}/tools/man/make-manpage.py
            COMMENT "Manual page of ${tool}")
        list(APPEND _zr_pages ${page})
    endif()
endforeach()
if(_zr_pages)
    add_custom_target(manpages ALL DEPENDS ${_zr_pages})
    install(FILES ${_zr_pages} DESTINATION ${ZR_MAN_INSTALL_DIR})
elseif(NOT Python3_Interpreter_FOUND)
    message(STATUS "python3 not found: the tools' manual pages are not made")
endif()

# Documents and presets, laid out as in the source tree so the documents' links hold: a musician reads them
# without building anything.
file(GLOB _zr_docs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${ZR_DOC_INSTALL_DIR})
install(FILES ${_zr_docs} DESTINATION ${ZR_DOC_INSTALL_DIR}/docs)
if(EXISTS ${CMAKE_SOURCE_DIR}/docs/figures)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/figures DESTINATION ${ZR_DOC_INSTALL_DIR}/docs)
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/presets DESTINATION ${ZR_DOC_INSTALL_DIR}
    FILES_MATCHING PATTERN "*.fxp" PATTERN "*.fxb" PATTERN "*.md")
# A Debian package's own changelog, compressed as policy wants it.
set(_zr_changelog ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${_zr_changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/cmake/debian/changelog > ${_zr_changelog}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog)
add_custom_target(debian-changelog ALL DEPENDS ${_zr_changelog})
install(FILES ${_zr_changelog} DESTINATION ${ZR_DOC_INSTALL_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zaroruraroze)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orrel @ Quenderlab")
set(CPACK_PACKAGE_CONTACT "Orrel (Quenderlab) <orrel@quenderlab.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo compressor with a 33-band detector (VST 2, LV2, CLAP, JACK)")
set(CPACK_PACKAGE_DESCRIPTION "ZaRoruraroze splits its side-chain into 33 log-spaced bands between 20 Hz
and 20 kHz, each with its own attack and release speed, and turns their
summed power into a gain through a soft-knee law. This package holds the VST 2
plug-in (/usr/lib/vst), the LV2 plug-in (/usr/lib/lv2), the CLAP plug-in
(/usr/lib/clap), the JACK client zaroruraroze-jack for live use, the offline
render tool zaroruraroze-render, the manual and the factory presets.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Plug-in modules are loaded by hosts, not by the dynamic linker: no ldconfig in the maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/dist)
include(CPack)
