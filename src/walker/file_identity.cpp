#include "walker/file_identity.h"

FileIdentity IdentityFrom(DWORD volume, uint64_t index) {
    return {volume, static_cast<DWORD>(index >> 32), static_cast<DWORD>(index)};
}
