# -DORTHAVEN_SANITIZE=ON builds everything with ASan and UBSan; the test suite must pass so.
if(ORTHAVEN_SANITIZE)
    if(MSVC)
        add_compile_options(/fsanitize=address)
    else()
        add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        add_link_options(-fsanitize=address,undefined)
    endif()
endif()

# -DORTHAVEN_FUZZ=ON instruments everything for libFuzzer, with ASan and UBSan; only the
# fuzz targets link libFuzzer's own main(). It needs clang (scripts/fuzz.sh uses clang-14).
if(ORTHAVEN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ORTHAVEN_FUZZ needs clang, e.g. -DCMAKE_CXX_COMPILER=clang++-14")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
