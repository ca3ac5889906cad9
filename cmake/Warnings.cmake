# Compiler warnings and Qt's deprecation guards for everything this project
# compiles: its libraries, the application, tests and benchmarks, and the code
# Qt generates for them (moc, rcc, QML type registration and cache), which
# builds clean with the same set.
#
# LUMBREL_WERROR turns warnings into errors; CI (.ci/run) switches it on, so a
# new warning fails there and never lands, while a developer's build only
# reports it.

option(LUMBREL_WERROR "Treat compiler warnings as errors (CI turns this on)" OFF)

if(MSVC)
    add_compile_options(/W4 /permissive- $<$<BOOL:${LUMBREL_WERROR}>:/WX>)
else()
    # Less one: aggregates here are built with (designated) initializers that
    # leave the other members at their defaults, which GCC 12 reports as
    # missing. C++ gives an omitted member its default or zero, never garbage.
    add_compile_options(-Wall -Wextra -Wpedantic -Wno-missing-field-initializers
                        $<$<BOOL:${LUMBREL_WERROR}>:-Werror>)
endif()

# What Qt deprecated before 6.4 does not compile at all; what 6.4 itself
# deprecates warns. Qt 6.4 reads QT_DISABLE_DEPRECATED_BEFORE, 6.5 and later
# QT_DISABLE_DEPRECATED_UP_TO (both warn about what the version deprecates).
add_compile_definitions(
    QT_DISABLE_DEPRECATED_BEFORE=0x060400
    QT_DISABLE_DEPRECATED_UP_TO=0x060400)
