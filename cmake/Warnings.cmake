# Warnings for our own targets only; third-party headers come in as system includes.
# ORTHAVEN_WERROR makes them errors: on in CI, off by default, since other compilers and
# versions warn of other things.
option(ORTHAVEN_WERROR "Treat compiler warnings as errors" OFF)

function(orthaven_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive-)
        if(ORTHAVEN_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
            -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual -Wold-style-cast)
        if(ORTHAVEN_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
