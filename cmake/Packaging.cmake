# What an installation holds besides the programs and their data (whose rules stand next
# to their targets), and the Debian package CPack makes of it (scripts/package.sh): the
# menu entry with its icons and AppStream metainfo, the man pages, made with help2man from
# the programs' own --help and --version, and the package's documents.

option(ORTHAVEN_MAN_PAGES "Make the man pages with help2man (scripts/package.sh does)" OFF)

set(packaging "${PROJECT_SOURCE_DIR}/packaging")
set(generated "${PROJECT_BINARY_DIR}/packaging")
set(docdir "${CMAKE_INSTALL_DATADIR}/doc/orthaven")
# Dates in generated files follow SOURCE_DATE_EPOCH when it is set, so a package of one
# commit is the same whenever it is built.
string(TIMESTAMP ORTHAVEN_CHANGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP ORTHAVEN_COPYRIGHT_YEAR "%Y" UTC)

if(UNIX AND NOT APPLE)
    install(FILES "${packaging}/orthaven.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications"
        RENAME "${ORTHAVEN_APP_ID}.desktop")
    configure_file("${packaging}/orthaven.metainfo.xml.in"
        "${generated}/${ORTHAVEN_APP_ID}.metainfo.xml" @ONLY)
    install(FILES "${generated}/${ORTHAVEN_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    foreach(size 32 64 128 256 512)
        install(FILES "${PROJECT_SOURCE_DIR}/resources/logosets/logo_orthaven_${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME orthaven.png)
    endforeach()

    # Debian's documents: the copyright, the changelog (compressed, as Debian wants it) and
    # the manual of the command line.
    configure_file("${packaging}/changelog.in" "${generated}/changelog" @ONLY)
    configure_file("${packaging}/copyright.in" "${generated}/copyright" @ONLY)
    set(compressed "${generated}/changelog.gz")
    set(man_pages)
    if(ORTHAVEN_MAN_PAGES)
        find_program(HELP2MAN help2man REQUIRED)
        # What apropos and the NAME section say of each program.
        set(whatis_orthaven "turn terrestrial laser scans into tiled orthographic layouts")
        set(whatis_orthaven-layout "compute a layout of terrestrial laser scans without the window")
        foreach(program orthaven orthaven-layout)
            set(page "${generated}/${program}.1")
            add_custom_command(OUTPUT "${page}.gz"
                # No display needed: both programs answer --help before Qt opens one.
                COMMAND "${HELP2MAN}" --no-info --no-discard-stderr
                    "--name=${whatis_${program}}"
                    "--include=${packaging}/${program}.h2m" "--output=${page}"
                    "$<TARGET_FILE:${program}>"
                COMMAND gzip -9nf "${page}"
                DEPENDS ${program} "${packaging}/${program}.h2m"
                COMMENT "Making the man page of ${program}"
                VERBATIM)
            list(APPEND man_pages "${page}.gz")
        endforeach()
        install(FILES ${man_pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    endif()
    add_custom_command(OUTPUT "${compressed}"
        COMMAND gzip -9nkf "${generated}/changelog"
        DEPENDS "${generated}/changelog"
        VERBATIM)
    add_custom_target(orthaven_package_files ALL DEPENDS "${compressed}" ${man_pages})
    install(FILES "${generated}/copyright" "${compressed}"
        "${PROJECT_SOURCE_DIR}/docs/orthaven-layout.md"
        DESTINATION "${docdir}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orthaven)
set(CPACK_PACKAGE_VENDOR Brandmoor)
set(CPACK_PACKAGE_CONTACT "Brandmoor <support@brandmoor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tiled orthographic pictures of terrestrial laser scans")
set(CPACK_PACKAGE_DESCRIPTION "\
Orthaven turns terrestrial laser scans (PTX, Leica PTG, E57, Riegl projects,
FARO workspaces) into layouts: orthographic pictures of a scene, cut into
square tiles of a fixed size in metres, each with a world file that places it
in CAD and GIS programs, with a log of the tiles and scan poses, an annotated
overview and a scan-position sheet. orthaven-layout computes layouts from the
command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# orthaven_<version>_<architecture>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.brandmoor.example/orthaven")
# The libraries come from dpkg-shlibdeps; Qt's TIFF writer is a plug-in nothing links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "p7zip-full")
include(CPack)
