# Shared settings for every target of the project.

set(VRX_WARNINGS -Wall -Wextra -Werror)
set(VRX_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

if(VRX_SANITIZE)
    add_compile_options(${VRX_SANITIZE_FLAGS})
    add_link_options(${VRX_SANITIZE_FLAGS})
endif()

# Our own code: warnings are errors, and the library finds its siblings
# beside it at run time.
function(vrx_target_defaults target)
    target_compile_options(${target} PRIVATE ${VRX_WARNINGS})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
        set_target_properties(${target} PROPERTIES
            BUILD_RPATH "$ORIGIN"
            INSTALL_RPATH "$ORIGIN")
    elseif(type STREQUAL "EXECUTABLE")
        set_target_properties(${target} PROPERTIES
            BUILD_RPATH "$ORIGIN/../lib"
            INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    endif()
endfunction()

# A GoogleTest executable registered with CTest.
#   vrx_add_test(NAME SOURCES... LIBS... [LABELS slow] [TIMEOUT s])
# Tests labelled slow run only in the optimised build.
function(vrx_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(VRX_SANITIZE AND "slow" IN_LIST T_LABELS)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} vrx_test_support GTest::gtest GTest::gmock Threads::Threads)
    vrx_target_defaults(${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}"
        ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;VRX_SAMPLES_DIR=${CMAKE_SOURCE_DIR}/../shared/samples")
endfunction()
