# LUMBREL_SANITIZE: AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer over everything this project compiles. Use a
# build folder of its own:
#
#   cmake -G Ninja -S . -B build-asan -DLUMBREL_SANITIZE=ON
#   cmake --build build-asan && (cd build-asan && ctest --output-on-failure)
#
# Qt and the bundled Node.js runtime are not instrumented: faults inside them
# are not found, and what they leak on purpose is suppressed in
# tests/sanitizer/lsan.supp. LUMBREL_SANITIZER_ENVIRONMENT holds the settings
# the tests run with (tests/CMakeLists.txt): every report stops the program
# with a stack trace, so a test cannot pass over one.

option(LUMBREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
set(LUMBREL_SANITIZER_ENVIRONMENT "")

if(LUMBREL_SANITIZE)
    if(MSVC)
        message(FATAL_ERROR "LUMBREL_SANITIZE is for GCC and Clang")
    endif()
    set(_flags -fsanitize=address,undefined -fno-omit-frame-pointer)
    add_compile_options(${_flags})
    add_link_options(${_flags})
    # -O1 and line tables only, after the build type's flags: instrumented
    # code at -O2 -g takes about 2.5 times the compile time (CI builds this
    # folder from scratch), and the reports still name every file and line.
    if(CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Release|MinSizeRel)$")
        add_compile_options(-O1 -g1)
    endif()

    # Qt is built without frame pointers, where the fast unwinder stops: the
    # suppressions name Qt's own functions, so allocations are traced by the
    # slow unwinder, 12 frames deep (deeper costs much more time, and 12 still
    # reach from the allocation into the code that asked for it).
    set(_suppressions ${CMAKE_SOURCE_DIR}/tests/sanitizer/lsan.supp)
    set(LUMBREL_SANITIZER_ENVIRONMENT
        "ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:malloc_context_size=12"
        "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
        "LSAN_OPTIONS=suppressions=${_suppressions}:print_suppressions=0")
endif()
