#pragma once

#include <string>

#include "driver/os_version.h"

void PrintBanner(const std::wstring& title, const std::wstring& version);

void PrintSystemReport(const OsVersionInfo& info);
