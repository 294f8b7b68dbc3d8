# cmake -DSOURCE=DIR -DHEADER=FILE -DEPOCH=FILE -P build_info.cmake
# Writes the commit the sources in DIR come from to HEADER (for the version resources) and the
# commit's time in seconds since 1970 to EPOCH (for the linker's time stamp). Each file is
# rewritten only when its text changes, so an unchanged commit relinks nothing. Sources that
# are not a git checkout say "unknown" and take time 0; uncommitted changes are said too.
set(git git -C "${SOURCE}")
execute_process(COMMAND ${git} rev-parse HEAD OUTPUT_VARIABLE commit RESULT_VARIABLE failed
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(failed)
    set(built_from "Built from unknown sources")
    set(epoch 0)
else()
    execute_process(COMMAND ${git} log -1 --format=%ct OUTPUT_VARIABLE epoch
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    # --no-optional-locks: a build must not hold the index while a git command runs beside it.
    execute_process(COMMAND git --no-optional-locks -C "${SOURCE}" status --porcelain
        OUTPUT_VARIABLE changes)
    set(built_from "Built from commit ${commit}")
    if(changes)
        string(APPEND built_from " with uncommitted changes")
    endif()
endif()
file(CONFIGURE OUTPUT "${HEADER}" CONTENT "#define BRISTOKE_BUILT_FROM \"${built_from}\"\n")
file(CONFIGURE OUTPUT "${EPOCH}" CONTENT "${epoch}\n")
