# Installs the build into a fresh prefix and checks that the programs, their data in the
# place the programs look for it (../share/orthaven beside bin), the menu entry, its icons,
# the metainfo and the documents are there, that the installed programs answer --help and
# --version, and, where the tools are installed (scripts/setup.sh package), that the menu
# entry and the metainfo validate.
#   cmake -DBUILD=<build folder> -DPREFIX=<empty folder> -DAPP_ID=<id> [-DMAN_PAGES=ON] -P CheckInstall.cmake

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
    OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
    bin/orthaven bin/orthaven-layout
    share/orthaven/translations/orthaven_de.qm
    share/orthaven/plugins/skpplugin/orthaven.rbs
    share/orthaven/plugins/skpplugin/orthavendata/base.rbs
    share/orthaven/plugins/skpplugin/orthavendata/layout_SM.png
    share/applications/${APP_ID}.desktop
    share/metainfo/${APP_ID}.metainfo.xml
    share/doc/orthaven/copyright share/doc/orthaven/changelog.gz)
foreach(size 32 64 128 256 512)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/orthaven.png)
endforeach()
if(MAN_PAGES)
    list(APPEND expected share/man/man1/orthaven.1.gz share/man/man1/orthaven-layout.1.gz)
endif()
foreach(file IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(SEND_ERROR "not installed: ${file}")
    endif()
endforeach()

foreach(call "orthaven;--help" "orthaven;--version" "orthaven-layout;--help"
        "orthaven-layout;--version")
    list(POP_FRONT call program)
    execute_process(COMMAND "${PREFIX}/bin/${program}" ${call}
        RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0 OR NOT out MATCHES "^(Usage: )?${program} ")
        message(SEND_ERROR "${program} ${call}: exit ${result}\n${out}${err}")
    endif()
endforeach()

function(check_with tool)
    find_program(found ${tool} NO_CACHE)
    if(found)
        execute_process(COMMAND "${found}" ${ARGN}
            RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
        if(NOT result EQUAL 0)
            message(SEND_ERROR "${tool} ${ARGN}: ${out}")
        endif()
    endif()
endfunction()
check_with(desktop-file-validate "${PREFIX}/share/applications/${APP_ID}.desktop")
check_with(appstreamcli validate --no-net "${PREFIX}/share/metainfo/${APP_ID}.metainfo.xml")
