#include "sample_writer.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "file_ciphers.h"
#include "platform/unique_handle.h"
#include "streams/path_helpers.h"

namespace {

// A multiple of the AES block, so only the last chunk can need padding.
constexpr DWORD ChunkSize = 1 << 20;
constexpr DWORD AesBlockSize = 16;
constexpr DWORD RsaBlockSize = 256;
constexpr uint32_t FooterMagic1 = 0x93892918;
constexpr uint32_t FooterMagic2 = 0x00038281;

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

void AppendLittleEndian(std::vector<BYTE>& out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out.push_back(static_cast<BYTE>(value >> (8 * i)));
    }
}

bool WriteAll(HANDLE file, const BYTE* data, DWORD length) {
    DWORD written = 0;
    return WriteFile(file, data, length, &written, nullptr) && written == length;
}

/// Encrypts the first encryptedLength bytes of the input and copies the rest.
bool StreamData(HANDLE input, HANDLE output, FileCipher& cipher, uint64_t size,
                uint64_t encryptedLength, std::wstring& error) {
    std::vector<BYTE> buffer(ChunkSize + AesBlockSize);
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
                  std::vector<BYTE>& footer, std::wstring& error) {
    std::vector<BYTE> block;
    if (!rsa.Encrypt(data, length, block)) {
        error = L"RSA encryption failed, " + FormatLastError();
        return false;
    }
    if (block.size() != RsaBlockSize) {
        error = L"the key's modulus is not 2048 bits";
        return false;
    }
    footer.insert(footer.end(), block.begin(), block.end());
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
    const bool aes = options.variant < 4;
    std::wstring extension = options.extension;
    if (extension.empty() && options.variant != 5) {
        extension = options.variant == 4 ? L".QOVY" : L".BRSK";
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

    BYTE key[32];
    BYTE iv[16];
    if (!Random(key, sizeof key) || !Random(iv, sizeof iv)) {
        error = L"no random numbers, " + FormatLastError();
        return false;
    }
    std::unique_ptr<FileCipher> cipher;
    if (aes) {
        auto aesCipher = std::make_unique<AesFileCipher>();
        if (!aesCipher->Init(key, iv)) {
            error = L"AES set-up failed, " + FormatLastError();
            return false;
        }
        cipher = std::move(aesCipher);
    } else {
        BYTE nonce[8];
        std::copy(iv, iv + sizeof nonce, nonce);
        cipher = std::make_unique<Salsa20FileCipher>(key, nonce);
    }
    std::vector<BYTE> footer;
    if (!EncryptBlock(rsa, key, sizeof key, footer, error) ||
        !EncryptBlock(rsa, iv, aes ? 16 : 8, footer, error)) {
        return false;
    }
    SecureZeroMemory(key, sizeof key);
    uint64_t encryptedLength = plainSize;
    if (options.variant == 5) {
        const uint64_t factor1 = options.hasFactors ? options.factor1 : plainSize;
        const uint64_t factor2 = options.hasFactors ? options.factor2 : 1;
        encryptedLength = std::min(factor1 * factor2, plainSize);
        AppendLittleEndian(footer, 0, 8); // unused
        AppendLittleEndian(footer, factor1, 8);
        AppendLittleEndian(footer, factor2, 4);
        AppendLittleEndian(footer, FooterMagic1, 4);
        AppendLittleEndian(footer, FooterMagic2, 4);
    } else {
        AppendLittleEndian(footer, options.hasPlainSize ? options.plainSize : plainSize, 8);
        if (options.variant == 1) {
            AppendLittleEndian(footer, 0, 8);
        }
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
