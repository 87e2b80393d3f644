# Compiler flags shared by every target of the project.
add_library(skysail_flags INTERFACE)
if(MSVC)
    target_compile_options(skysail_flags INTERFACE /W4 /utf-8 $<$<BOOL:${SKYSAIL_WERROR}>:/WX>)
else()
    target_compile_options(skysail_flags INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${SKYSAIL_WERROR}>:-Werror>)
    target_compile_definitions(skysail_flags INTERFACE $<$<NOT:$<CONFIG:Release>>:_GLIBCXX_ASSERTIONS>)
endif()

if(SKYSAIL_SANITIZE)
    if(MSVC)
        message(FATAL_ERROR "SKYSAIL_SANITIZE is for gcc and clang")
    endif()
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(skysail_flags INTERFACE ${_san})
    target_link_options(skysail_flags INTERFACE ${_san})
endif()

# Coverage instrumentation for libFuzzer over the whole core, not just the fuzz entry points.
if(SKYSAIL_FUZZ)
    target_compile_options(skysail_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
