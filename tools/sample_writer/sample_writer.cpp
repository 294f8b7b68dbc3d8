#include "sample_writer.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "file_encryptors.h"
#include "cleaner/format.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

// A multiple of the AES block, so only the last chunk can need padding.
constexpr DWORD ChunkSize = 1 << 20;

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return {};
    }
    std::wstring full(needed, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), needed, &full[0], nullptr));
    return full;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') {
        path.pop_back();
    }
    return path;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

bool Random(BYTE* data, DWORD length) {
    UniqueCryptProvider context;
    return CryptAcquireContextW(context.put(), nullptr, nullptr, PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT) &&
           CryptGenRandom(context.get(), length, data);
}

/// Six letters and digits: never one of the extensions recognised by name.
bool RandomExtension(std::wstring& extension) {
    const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    BYTE noise[6];
    if (!Random(noise, sizeof noise)) {
        return false;
    }
    extension = L".";
    for (const BYTE b : noise) {
        extension += alphabet[b % (sizeof alphabet / sizeof alphabet[0] - 1)];
    }
    return true;
}

void PutLittleEndian(std::vector<BYTE>& footer, uint32_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        footer[offset + i] = static_cast<BYTE>(value >> (8 * i));
    }
}

bool WriteAll(HANDLE file, const BYTE* data, DWORD length) {
    DWORD written = 0;
    return WriteFile(file, data, length, &written, nullptr) && written == length;
}

/// Encrypts the first encryptedLength bytes of the input and copies the rest.
bool StreamData(HANDLE input, HANDLE output, FileEncryptor& cipher, uint64_t size,
                uint64_t encryptedLength, std::wstring& error) {
    std::vector<BYTE> buffer(ChunkSize + format::AesBlockLength);
    uint64_t processed = 0;
    do {
        const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(ChunkSize, size - processed));
        DWORD got = 0;
        if (!ReadFile(input, buffer.data(), chunk, &got, nullptr) || got != chunk) {
            error = L"reading the input failed, " + FormatLastError();
            return false;
        }
        const bool last = processed + chunk == size;
        DWORD length = static_cast<DWORD>(
            std::min<uint64_t>(chunk, encryptedLength - std::min(encryptedLength, processed)));
        const DWORD copied = chunk - length;
        if (processed < encryptedLength || (last && encryptedLength == size)) {
            if (!cipher.Encrypt(buffer.data(), length, static_cast<DWORD>(buffer.size()), last)) {
                error = L"encrypting the data failed, " + FormatLastError();
                return false;
            }
        }
        if (!WriteAll(output, buffer.data(), length + copied)) {
            error = L"writing the output failed, " + FormatLastError();
            return false;
        }
        processed += chunk;
    } while (processed < size);
    return true;
}

bool EncryptBlock(const PublicKeyEncryptor& rsa, const BYTE* data, DWORD length,
                  std::vector<BYTE>& footer, uint32_t offset, std::wstring& error) {
    std::vector<BYTE> block;
    if (!rsa.Encrypt(data, length, block)) {
        error = L"RSA encryption failed, " + FormatLastError();
        return false;
    }
    if (block.size() != format::RsaBlockLength) {
        error = L"the key's modulus is not 2048 bits";
        return false;
    }
    std::copy(block.begin(), block.end(), footer.begin() + offset);
    return true;
}

} // namespace

bool ResolveOutputPath(const std::wstring& directory, const std::wstring& name,
                       std::wstring& path) {
    const std::wstring root = WithoutTrailingSeparator(FullPath(directory));
    if (root.empty() || name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) {
        return false;
    }
    path = FullPath(root + L"\\" + name);
    const size_t separator = path.rfind(L'\\');
    return separator != std::wstring::npos && separator + 1 < path.size() &&
           _wcsicmp(WithoutTrailingSeparator(path.substr(0, separator + 1)).c_str(),
                    root.c_str()) == 0;
}

bool WriteSample(const SampleOptions& options, const PublicKeyEncryptor& rsa,
                 const std::wstring& input, std::wstring& output, std::wstring& error) {
    const VariantFormat& layout = *FormatOf(Variant{options.variant});
    const bool aes = layout.cipher == FileCipherKind::Aes256Cbc;
    std::wstring extension = options.extension;
    if (extension.empty() && *DefaultExtensionOf(layout.variant) != L'\0') {
        extension = DefaultExtensionOf(layout.variant);
    } else if (extension.empty() && !RandomExtension(extension)) {
        error = L"no random numbers, " + FormatLastError();
        return false;
    }
    const std::wstring name = options.name.empty() ? FileNameOf(input) + extension : options.name;
    if (!ResolveOutputPath(options.outputDirectory, name, output)) {
        error = L"refused: " + name + L" is not a file name inside " + options.outputDirectory;
        return false;
    }
    UniqueFile in(CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!in || !GetFileSizeEx(in.get(), &size)) {
        error = L"cannot read " + input + L", " + FormatLastError();
        return false;
    }
    const uint64_t plainSize = static_cast<uint64_t>(size.QuadPart);

    BYTE key[format::KeyLength];
    BYTE iv[format::AesBlockLength];
    if (!Random(key, sizeof key) || !Random(iv, sizeof iv)) {
        error = L"no random numbers, " + FormatLastError();
        return false;
    }
    std::unique_ptr<FileEncryptor> cipher;
    if (aes) {
        auto aesCipher = std::make_unique<AesFileEncryptor>();
        if (!aesCipher->Init(key, iv)) {
            error = L"AES set-up failed, " + FormatLastError();
            return false;
        }
        cipher = std::move(aesCipher);
    } else {
        BYTE nonce[format::SalsaNonceLength];
        std::copy(iv, iv + sizeof nonce, nonce);
        cipher = std::make_unique<Salsa20FileEncryptor>(key, nonce);
    }
    // Every byte the layout does not name stays zero (a zero mark, unused bytes).
    std::vector<BYTE> footer(layout.footerLength);
    if (!EncryptBlock(rsa, key, sizeof key, footer, format::KeyBlockOffset, error) ||
        !EncryptBlock(rsa, iv, layout.ivLength, footer, format::IvBlockOffset, error)) {
        return false;
    }
    SecureZeroMemory(key, sizeof key);
    uint64_t encryptedLength = plainSize;
    if (layout.plainSizeOffset != format::NoField) {
        PutLittleEndian(footer, layout.plainSizeOffset,
                        options.hasPlainSize ? options.plainSize : plainSize, 8);
    }
    if (!EnciphersWholeData(layout)) {
        const uint64_t factor1 = options.hasFactors ? options.factor1 : plainSize;
        const uint64_t factor2 = options.hasFactors ? options.factor2 : 1;
        encryptedLength = std::min(factor1 * factor2, plainSize);
        PutLittleEndian(footer, layout.firstFactorOffset, factor1, 8);
        PutLittleEndian(footer, layout.secondFactorOffset, factor2, 4);
    }
    if (layout.mark.kind == MarkKind::Magic) {
        PutLittleEndian(footer, layout.mark.offset, layout.mark.magic1, 4);
        PutLittleEndian(footer, layout.mark.offset + 4, layout.mark.magic2, 4);
    }

    UniqueFile out(CreateFileW(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (!out) {
        error = L"cannot create " + output + L" (an existing file is never replaced), " +
                FormatLastError();
        return false;
    }
    if (!StreamData(in.get(), out.get(), *cipher, plainSize, encryptedLength, error) ||
        !WriteAll(out.get(), footer.data(), static_cast<DWORD>(footer.size()))) {
        if (error.empty()) {
            error = L"writing the footer failed, " + FormatLastError();
        }
        out.reset();
        DeleteFileW(output.c_str());
        return false;
    }
    return true;
}
