# -DORTHAVEN_SANITIZE=ON builds everything with ASan and UBSan; the test suite must pass so.
if(ORTHAVEN_SANITIZE)
    if(MSVC)
        add_compile_options(/fsanitize=address)
    else()
        add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        add_link_options(-fsanitize=address,undefined)
    endif()
endif()
