# Debian's hardening flags (fortified functions, stack protector, read-only relocations bound
# at start-up) for the optimised configurations, which are the ones a package is built from.
# They come from dpkg-buildflags, so they follow what Debian asks for; its optimisation, debug
# and path-mapping flags are left to the configuration. Executables are position-independent
# by Debian's compiler default, which dpkg-buildflags relies on too (the package test checks).
# Sanitizer and fuzzing builds keep their own flags: fortified functions and the sanitizers'
# interceptors do not mix, and _FORTIFY_SOURCE needs optimisation anyway.

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
mark_as_advanced(DPKG_BUILDFLAGS)
if(NOT DPKG_BUILDFLAGS OR ONDREL_SANITIZE OR ONDREL_FUZZ)
    return()
endif()

set(ondrel_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed)
        message(WARNING "dpkg-buildflags --get ${kind} failed: built without Debian's hardening")
        return()
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-g|^-O|-prefix-map=")
    foreach(flag IN LISTS flags)
        if(kind STREQUAL "LDFLAGS")
            add_link_options("$<${ondrel_optimised}:${flag}>")
        else()
            add_compile_options("$<${ondrel_optimised}:${flag}>")
        endif()
    endforeach()
    list(APPEND hardening ${flags})
endforeach()
list(JOIN hardening " " hardening)
message(STATUS "Debian hardening for optimised builds: ${hardening}")
