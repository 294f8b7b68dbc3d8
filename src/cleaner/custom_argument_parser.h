#pragma once

#include <string>
#include <vector>

/// Lets a cleaner accept or refuse the path list and add its own usage lines.
class ICustomArgumentParser {
public:
    virtual ~ICustomArgumentParser() = default;
    virtual bool CheckArguments(std::vector<std::wstring>& paths) = 0;
    virtual void PrintUsage() = 0;
};
