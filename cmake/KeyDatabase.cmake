# The key database resource (RCDATA 101): made at build time from a key list by
# tools/key_database/make_key_database.py and compiled by windres into an object library that
# every executable carrying the keys links.
set(BRISTOKE_KEY_LIST "${CMAKE_SOURCE_DIR}/demo-keys/keys.txt" CACHE FILEPATH
    "Key list the key database is built from: PEM files of RSA-2048 private keys and Base64 PRIVATEKEYBLOB lines")

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KEY_DATABASE_DIR "${CMAKE_BINARY_DIR}/key_database")
set(KEY_DATABASE_BIN "${KEY_DATABASE_DIR}/key_database.bin")
# The same keys as Base64 PRIVATEKEYBLOB lines, for the sample writer and the tests.
set(KEY_DATABASE_BLOBS "${KEY_DATABASE_DIR}/key_blobs.txt")
# The key set's fingerprint, for the version resource of the programs that carry the keys.
set(KEY_SET_HEADER "${KEY_DATABASE_DIR}/key_set.h")
file(MAKE_DIRECTORY "${KEY_DATABASE_DIR}")

add_custom_command(
    OUTPUT "${KEY_DATABASE_BIN}" "${KEY_DATABASE_BLOBS}" "${KEY_SET_HEADER}"
    COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tools/key_database/make_key_database.py"
            "${BRISTOKE_KEY_LIST}" --out "${KEY_DATABASE_BIN}" --blobs "${KEY_DATABASE_BLOBS}"
            --key-set-header "${KEY_SET_HEADER}"
            --depfile "${KEY_DATABASE_DIR}/key_database.d"
    DEPENDS "${CMAKE_SOURCE_DIR}/tools/key_database/make_key_database.py" "${BRISTOKE_KEY_LIST}"
            "${CMAKE_SOURCE_DIR}/src/cleaner/key_scramble.h"
    DEPFILE "${KEY_DATABASE_DIR}/key_database.d"
    COMMENT "Building the key database from ${BRISTOKE_KEY_LIST}"
    VERBATIM)

file(CONFIGURE OUTPUT "${KEY_DATABASE_DIR}/key_database.rc"
    CONTENT "101 RCDATA \"${KEY_DATABASE_BIN}\"\n")
set_source_files_properties("${KEY_DATABASE_DIR}/key_database.rc" PROPERTIES
    OBJECT_DEPENDS "${KEY_DATABASE_BIN}")
add_library(bristoke_key_database OBJECT "${KEY_DATABASE_DIR}/key_database.rc")
