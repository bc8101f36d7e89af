# Install rules of the release packages and their CPack settings:
#   Windows (windows preset): quorvel-VERSION-win32.zip, one folder holding quorvel.exe,
#     quorvel-cli.exe, data\ (the datum grid and its attribution) and the Japanese readme.
#   Linux (deb preset): quorvel_VERSION_ARCH.deb, the Qt dialog and the CLI under /usr.
# `cmake --build --preset windows --target package`, `cmake --build --preset deb --target package`,
# or scripts/package for both.
set(QUORVEL_MAINTAINER "Quorvel developers <quorvel@example.org>" CACHE STRING "The packages' maintainer")

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUORVEL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "car navigation memory points to and from glorie POI and map files")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)

set(quorvel_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(quorvel_staged ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${quorvel_staged})

if(WIN32)
    install(TARGETS quorvel RUNTIME DESTINATION .)
    # Notepad of every Windows version reads UTF-8 with a byte-order mark; lines end in CR LF.
    configure_file(${quorvel_packaging}/windows/README-ja.txt ${quorvel_staged}/README-ja.utf8 @ONLY)
    add_custom_command(OUTPUT ${quorvel_staged}/README-ja.txt
        COMMAND sh -c "printf '\\357\\273\\277' >README-ja.txt && sed 's/$/\\r/' README-ja.utf8 >>README-ja.txt"
        DEPENDS ${quorvel_staged}/README-ja.utf8
        WORKING_DIRECTORY ${quorvel_staged} VERBATIM
        COMMENT "Japanese readme for Windows")
    add_custom_target(quorvel_readme_ja ALL DEPENDS ${quorvel_staged}/README-ja.txt)
    install(FILES ${quorvel_staged}/README-ja.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME quorvel-${PROJECT_VERSION}-win32)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    include(GNUInstallDirs)
    # Manual pages (Japanese and English) and the package's own documents, compressed as Debian
    # ships them.
    set(quorvel_gzipped)
    foreach(pair "quorvel-cli.ja.1;ja/man1/quorvel-cli.1" "quorvel-cli.1;man1/quorvel-cli.1"
                 "quorvel.ja.1;ja/man1/quorvel.1" "quorvel.1;man1/quorvel.1")
        list(GET pair 0 source)
        list(GET pair 1 target)
        get_filename_component(folder ${target} DIRECTORY)
        set(gz ${quorvel_staged}/man/${target}.gz)
        add_custom_command(OUTPUT ${gz}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${quorvel_staged}/man/${folder}
            COMMAND sh -c "gzip -9n -c '${quorvel_packaging}/${source}' >'${gz}'"
            DEPENDS ${quorvel_packaging}/${source} VERBATIM)
        list(APPEND quorvel_gzipped ${gz})
        install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/${folder})
    endforeach()
    set(changelog_gz ${quorvel_staged}/changelog.gz)
    add_custom_command(OUTPUT ${changelog_gz}
        COMMAND sh -c "gzip -9n -c '${quorvel_packaging}/changelog' >'${changelog_gz}'"
        DEPENDS ${quorvel_packaging}/changelog VERBATIM)
    add_custom_target(quorvel_package_docs ALL DEPENDS ${quorvel_gzipped} ${changelog_gz})
    install(FILES ${changelog_gz} ${quorvel_packaging}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${quorvel_packaging}/quorvel-glorie.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # MeCab is loaded only when a reading is guessed; without it points keep an empty reading.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libmecab2, mecab-ipadic-utf8")
    # The synopsis is the summary; CPack indents these lines and marks the empty one.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvel reads the memory-point files (.mem) of a car navigation unit
and writes glorie POI documents (.xml, Shift_JIS) that the unit imports,
and converts both to and from GPX, KML, KMZ, GeoJSON and CSV in WGS 84,
shifting between the Tokyo datum and WGS 84 with the national parameter
grid of the Geospatial Information Authority of Japan.

This package holds the desktop dialog (quorvel, Qt 6) and the command-line
converter (quorvel-cli) with the datum grid.")
endif()

include(CPack)
