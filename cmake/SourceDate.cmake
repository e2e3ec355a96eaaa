# Where a time would enter the build: the build's SOURCE_DATE_EPOCH (scripts/trees takes it from the
# last commit), or no time at all. Nothing in the build reads the clock, so the same sources give the
# same bytes in any folder at any time.
set(SETUP_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}" CACHE STRING
    "Seconds since 1970 written wherever a time goes (the sample payload, the programs' headers); empty for none")
if(SETUP_SOURCE_DATE_EPOCH AND NOT SETUP_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SETUP_SOURCE_DATE_EPOCH must be a whole number of seconds, not '${SETUP_SOURCE_DATE_EPOCH}'")
endif()

# A program's header timestamp: the build's time when it has one, else zero.
function(setup_link_timestamp target)
    if(SETUP_SOURCE_DATE_EPOCH)
        target_link_options(${target} PRIVATE -Wl,--insert-timestamp)
        # ld takes the time from SOURCE_DATE_EPOCH in its own environment, whatever the shell has.
        set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER
                     ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${SETUP_SOURCE_DATE_EPOCH})
    else()
        target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
    endif()
endfunction()
