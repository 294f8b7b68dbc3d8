#pragma once

#include <windows.h>

#include <string>

/// What a crash report says of a fault, for reading it back against the release's symbols:
/// "exception 0xC0000005 at 0x0040152A, BristokeDecryptor.exe+0x0000152A, version 1.0.0.0".
/// The module is the one the address lies in, with the offset from where it was loaded.
std::wstring DescribeFault(const EXCEPTION_RECORD& record);

/// The same for a language exception, which carries no address: "a language exception,
/// version 1.0.0.0".
std::wstring DescribeLanguageException();
