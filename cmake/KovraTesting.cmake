# One helper for every test binary, so that each runs the same way: offscreen,
# with a home and XDG folders of its own below the build tree, never the user's.
#
# kovra_add_test(<name> SOURCES <files...> LIBS <targets...>
#                [ENV <VAR=value...>] [PROPERTIES <ctest properties...>])
function(kovra_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV;PROPERTIES" ${ARGN})
    if(KOVRA_FUZZ)
        return()
    endif()
    add_executable(tst_${name} ${T_SOURCES})
    target_link_libraries(tst_${name} PRIVATE Qt6::Test ${T_LIBS})
    # Helpers more than one folder of tests shares.
    target_include_directories(tst_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND tst_${name})
    set(home "${CMAKE_BINARY_DIR}/test-home/${name}")
    file(MAKE_DIRECTORY "${home}")
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_STATE_HOME=${home}/.local/state;XDG_CACHE_HOME=${home}/.cache;${T_ENV}"
        TIMEOUT 600)
    if(T_PROPERTIES)
        set_tests_properties(${name} PROPERTIES ${T_PROPERTIES})
    endif()
endfunction()

# kovra_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> CORPUS <dir> [SECONDS <n>])
# Only in a KOVRA_FUZZ build. The seed corpus is copied into the build tree, because
# libFuzzer adds what it finds to its first corpus folder.
if(KOVRA_FUZZ AND NOT TARGET fuzzers)
    add_custom_target(fuzzers)
endif()
function(kovra_add_fuzzer name)
    cmake_parse_arguments(F "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT KOVRA_FUZZ)
        return()
    endif()
    if(NOT F_SECONDS)
        set(F_SECONDS 60)
    endif()
    add_executable(fuzz_${name} ${F_SOURCES})
    target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzzers fuzz_${name})
    set(work "${CMAKE_BINARY_DIR}/fuzz-corpus/${name}")
    add_test(NAME fuzz_${name}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
                ASAN_OPTIONS=detect_leaks=1
                $<TARGET_FILE:fuzz_${name}> -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048
                -print_final_stats=1 ${work} ${F_CORPUS})
    set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT 600)
    file(MAKE_DIRECTORY "${work}")
endfunction()
