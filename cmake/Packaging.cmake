# Install rules of the release packages and their CPack settings:
#   Windows (windows preset): quorvel-VERSION-win32.zip, one folder holding quorvel.exe,
#     quorvel-cli.exe, quorvel.html (the web page), data\ (the datum grid, the corrections' bundle and their attribution),
#     the Japanese readme and LICENSE.txt.
#   Linux (deb preset): quorvel_VERSION_ARCH.deb, the Qt dialog and the CLI under /usr, the web
#     page in /usr/share/quorvel with its desktop entry.
# `cmake --build --preset windows --target package`, `cmake --build --preset deb --target package`,
# or scripts/package for both (which builds the page first).
# The maintainer is the project's role address; a packager sets their own with -DQUORVEL_MAINTAINER.
set(QUORVEL_MAINTAINER "Quorvel developers <quorvel@example.org>" CACHE STRING "The packages' maintainer")
# The page the web preset builds; both packages carry it.
set(QUORVEL_WEB_PAGE ${PROJECT_SOURCE_DIR}/build/web/quorvel.html CACHE FILEPATH "The web page the packages carry")

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
    configure_file(${quorvel_packaging}/windows/LICENSE.txt ${quorvel_staged}/LICENSE.utf8 COPYONLY)
    foreach(text README-ja LICENSE)
        add_custom_command(OUTPUT ${quorvel_staged}/${text}.txt
            COMMAND sh -c "printf '\\357\\273\\277' >${text}.txt && sed 's/$/\\r/' ${text}.utf8 >>${text}.txt"
            DEPENDS ${quorvel_staged}/${text}.utf8
            WORKING_DIRECTORY ${quorvel_staged} VERBATIM
            COMMENT "${text}.txt for Windows")
        install(FILES ${quorvel_staged}/${text}.txt DESTINATION .)
    endforeach()
    add_custom_target(quorvel_readme_ja ALL DEPENDS ${quorvel_staged}/README-ja.txt ${quorvel_staged}/LICENSE.txt)
    install(FILES ${QUORVEL_WEB_PAGE} DESTINATION .)

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
    # The machine-readable copyright names the maintainer's address.
    configure_file(${quorvel_packaging}/copyright ${quorvel_staged}/copyright @ONLY)
    install(FILES ${changelog_gz} ${quorvel_staged}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${quorvel_packaging}/quorvel-glorie.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
    # The web page, opened in the user's browser by its desktop entry.
    install(FILES ${QUORVEL_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel)
    configure_file(${quorvel_packaging}/quorvel-page ${quorvel_staged}/quorvel-page @ONLY)
    install(PROGRAMS ${quorvel_staged}/quorvel-page DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel)
    configure_file(${quorvel_packaging}/quorvel-page.desktop ${quorvel_staged}/quorvel-page.desktop @ONLY)
    install(FILES ${quorvel_staged}/quorvel-page.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # The icon at the sizes desktops ask for beside the dialog's 32 px one, and as shapes: drawn by
    # the icon script, named as the desktop entries name it. A component of its own, so that the
    # tree can be installed and checked without building the programs (CPack takes every one).
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(quorvel_hicolor ${quorvel_staged}/hicolor)
    add_custom_command(OUTPUT ${quorvel_hicolor}/scalable/apps/quorvel.svg
        COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_icon.py --hicolor ${quorvel_hicolor}
        DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py VERBATIM
        COMMENT "The icon at 48, 64, 128 and 256 px and as SVG")
    add_custom_target(quorvel_hicolor_icons ALL DEPENDS ${quorvel_hicolor}/scalable/apps/quorvel.svg)
    install(DIRECTORY ${quorvel_hicolor}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor COMPONENT icons)

    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # MeCab is linked in where the build has its static library, else loaded when a reading is
    # guessed; without it or its dictionary points keep an empty reading. xdg-utils opens the
    # page in the user's browser. Qt's Japanese translations make the file dialog Japanese;
    # without them it speaks English.
    if(MECAB_STATIC_LIBRARY)
        set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mecab-ipadic-utf8, qt6-translations-l10n, xdg-utils")
    else()
        set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libmecab2, mecab-ipadic-utf8, qt6-translations-l10n, xdg-utils")
    endif()
    # The synopsis is the summary; CPack indents these lines and marks the empty one.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvel reads the memory-point files (.mem) of a car navigation unit
and writes glorie POI documents (.xml, Shift_JIS) that the unit imports,
and converts both to and from GPX, KML, KMZ, GeoJSON and CSV in WGS 84,
shifting between the Tokyo datum and WGS 84 with the national parameter
grid of the Geospatial Information Authority of Japan, and to where the
ground is today by its corrections for the earthquakes since (PatchJGD).

This package holds the desktop dialog (quorvel, Qt 6), the command-line
converter (quorvel-cli) with the datum grid, and the offline web page that
converts map files and shows the points on a map in the browser.")
endif()

include(CPack)
