# Project-wide compile settings applied to every target we own.
add_library(mellodeck_options INTERFACE)
target_compile_options(mellodeck_options INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-unused-parameter>)
target_include_directories(mellodeck_options INTERFACE "${CMAKE_SOURCE_DIR}/src")
if(WIN32)
    # Wide-character Win32 API everywhere; the 8-bit calls are used only where a contract demands them.
    target_compile_definitions(mellodeck_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
        _WIN32_WINNT=0x0601)
    target_link_options(mellodeck_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
if(MELLODECK_SANITIZE)
    target_compile_options(mellodeck_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_link_options(mellodeck_options INTERFACE -fsanitize=address,undefined)
endif()
