#pragma once

#include <string>

#include "options.h"
#include "public_key.h"

/// The path of a file name inside a directory; false when the name would lead out of it.
[[nodiscard]] bool ResolveOutputPath(const std::wstring& directory, const std::wstring& name,
                                     std::wstring& path);

/// Encrypts one plain file into a new sample in the output directory, its key and IV under the
/// public key; a failed sample leaves no file behind.
[[nodiscard]] bool WriteSample(const SampleOptions& options, const PublicKeyEncryptor& rsa,
                               const std::wstring& input, std::wstring& output,
                               std::wstring& error);
