# What every program of the project carries: the project's version and the commit it was built
# from in a version resource, and an application manifest (bristoke_program). Builds are
# reproducible: no build path reaches an output, and the linker stamps the commit's time
# instead of the moment of the link.

set(BRISTOKE_CMAKE_DIR "${CMAKE_CURRENT_LIST_DIR}")
set(BRISTOKE_GENERATED "${CMAKE_BINARY_DIR}/generated")
set(BUILD_INFO_HEADER "${BRISTOKE_GENERATED}/build_info.h")
set(BUILD_EPOCH_FILE "${BRISTOKE_GENERATED}/build_epoch.txt")
# Read at every build, not at configure time: a commit or an edit since then must show.
add_custom_target(bristoke_build_info
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR} -DHEADER=${BUILD_INFO_HEADER}
            -DEPOCH=${BUILD_EPOCH_FILE} -P ${CMAKE_CURRENT_LIST_DIR}/program/build_info.cmake
    BYPRODUCTS ${BUILD_INFO_HEADER} ${BUILD_EPOCH_FILE}
    COMMENT "Reading the commit of the sources" VERBATIM)

configure_file(${CMAKE_CURRENT_LIST_DIR}/program/version.h.in
    ${BRISTOKE_GENERATED}/driver/version.h @ONLY)

target_compile_options(bristoke_options INTERFACE
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
# Debug information for the project's own code, which the release strips from what it ships and
# keeps in its symbols: a crash's module and offset read back as function, file and line. It
# changes no instruction of the code.
target_compile_options(bristoke_options INTERFACE -g)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(BRISTOKE_BITS 64-bit)
    set(BRISTOKE_MANIFEST_ARCH amd64)
else()
    set(BRISTOKE_BITS 32-bit)
    set(BRISTOKE_MANIFEST_ARCH x86)
endif()
string(REPLACE "." "," BRISTOKE_VERSION_COMMAS "${PROJECT_VERSION}")

# bristoke_program(TARGET DESCRIPTION): the executable TARGET gets its version resource (file
# and product version, DESCRIPTION with the architecture, original file name, and the commit in
# its comments, followed by the key set's fingerprint when it carries the key database) and its
# manifest, and is linked at the commit's time.
# A target of another folder's CMakeLists.txt may be given too, after its libraries.
function(bristoke_program target description)
    set(BRISTOKE_TARGET ${target})
    get_target_property(libraries ${target} LINK_LIBRARIES)
    set(BRISTOKE_KEY_SET_INCLUDE "")
    set(depends "")
    if("bristoke_key_database" IN_LIST libraries)
        set(BRISTOKE_KEY_SET_INCLUDE "#include \"key_set.h\"")
        set(depends "${KEY_SET_HEADER}")
        target_include_directories(${target} PRIVATE ${KEY_DATABASE_DIR})
    endif()
    set(BRISTOKE_FILE_NAME ${target}${CMAKE_EXECUTABLE_SUFFIX})
    set(BRISTOKE_DESCRIPTION "${description} (${BRISTOKE_BITS})")
    get_target_property(folder ${target} BINARY_DIR)
    set(BRISTOKE_MANIFEST "${folder}/${target}.manifest")
    set(resources "${folder}/${target}_program.rc")
    configure_file(${BRISTOKE_CMAKE_DIR}/program/program.manifest.in ${BRISTOKE_MANIFEST} @ONLY)
    configure_file(${BRISTOKE_CMAKE_DIR}/program/program.rc.in ${resources} @ONLY)
    set_source_files_properties(${resources} TARGET_DIRECTORY ${target} PROPERTIES
        OBJECT_DEPENDS "${BRISTOKE_MANIFEST};${BUILD_INFO_HEADER};${depends}")
    target_sources(${target} PRIVATE ${resources})
    target_include_directories(${target} PRIVATE ${BRISTOKE_GENERATED})
    add_dependencies(${target} bristoke_build_info)
    set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER
        "${BRISTOKE_CMAKE_DIR}/program/link_at_commit_time.sh;${BUILD_EPOCH_FILE}")
endfunction()
