# Warnings for our own targets only; third-party headers come in as system includes.
# Warnings become errors with CMake's own CMAKE_COMPILE_WARNING_AS_ERROR (on in CI, off by
# default, since other compilers and versions warn of other things); ORTHAVEN_WERROR, the
# switch of earlier builds, turns it on as well. `cmake --build --compile-no-warning-as-error`
# overrides either for one build.
option(ORTHAVEN_WERROR "Treat compiler warnings as errors (sets CMAKE_COMPILE_WARNING_AS_ERROR)"
    OFF)
if(ORTHAVEN_WERROR)
    set(CMAKE_COMPILE_WARNING_AS_ERROR ON)
endif()

function(orthaven_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive-)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
            -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual -Wold-style-cast)
    endif()
endfunction()
