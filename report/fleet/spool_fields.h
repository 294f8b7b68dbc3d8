#pragma once

#include <cstdint>
#include <cwchar>
#include <string>

#include "fleet/sorted_spool.h"

namespace report {

/// Writes the fields a Visit function walks into a spool record, as text.
struct FieldWriter {
    SortedSpool::Record& record;
    void operator()(const std::wstring& text) { record.push_back(text); }
    void operator()(bool flag) { record.push_back(flag ? L"1" : L"0"); }
    void operator()(int64_t number) { record.push_back(std::to_wstring(number)); }
    void operator()(uint64_t number) { record.push_back(std::to_wstring(number)); }
    template <typename Enum> void operator()(Enum value) { (*this)(static_cast<int64_t>(value)); }
};

/// Reads them back in the same order; missing fields read as empty or zero.
struct FieldReader {
    const SortedSpool::Record& record;
    size_t next = 0;
    const std::wstring& Take() {
        static const std::wstring none;
        return next < record.size() ? record[next++] : none;
    }
    void operator()(std::wstring& text) { text = Take(); }
    void operator()(bool& flag) { flag = Take() == L"1"; }
    void operator()(int64_t& number) { number = std::wcstoll(Take().c_str(), nullptr, 10); }
    void operator()(uint64_t& number) { number = std::wcstoull(Take().c_str(), nullptr, 10); }
    template <typename Enum> void operator()(Enum& value) {
        int64_t number = 0;
        (*this)(number);
        value = static_cast<Enum>(number);
    }
};

/// A number as a key field: fixed width, so that text order is number order.
inline std::wstring KeyNumber(uint64_t value) {
    wchar_t text[24];
    swprintf(text, 24, L"%020llu", static_cast<unsigned long long>(value));
    return text;
}

} // namespace report
