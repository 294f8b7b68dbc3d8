# Crypto++ has no MinGW package: scripts/setup.sh builds it for each architecture into
# BRISTOKE_DEPS/cryptopp-<processor>. Found there only, never in the host's or MinGW's folders,
# so a build cannot pick up a library made for another compiler; looked up at every configure
# (not cached), so a new root takes effect.
set(deps_default /opt/bristoke-deps)
if(DEFINED ENV{BRISTOKE_DEPS})
    set(deps_default "$ENV{BRISTOKE_DEPS}")
endif()
set(BRISTOKE_DEPS "${deps_default}" CACHE PATH "Root of the dependencies scripts/setup.sh builds")
set(CRYPTOPP_ROOT "${BRISTOKE_DEPS}/cryptopp-${CMAKE_SYSTEM_PROCESSOR}")
find_path(CRYPTOPP_INCLUDE_DIR cryptopp/salsa.h PATHS "${CRYPTOPP_ROOT}/include"
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH NO_CACHE)
find_library(CRYPTOPP_LIBRARY NAMES cryptopp PATHS "${CRYPTOPP_ROOT}/lib"
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH NO_CACHE)
if(NOT CRYPTOPP_INCLUDE_DIR OR NOT CRYPTOPP_LIBRARY)
    message(FATAL_ERROR "Crypto++ for ${BRISTOKE_TRIPLE} not found under ${CRYPTOPP_ROOT}: run scripts/setup.sh")
endif()

add_library(cryptopp STATIC IMPORTED)
set_target_properties(cryptopp PROPERTIES
    IMPORTED_LOCATION "${CRYPTOPP_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${CRYPTOPP_INCLUDE_DIR}")
