#define DOCTEST_CONFIG_IMPLEMENT
#include "doctest.h"

#include <string>
#include <vector>

#include "io/text_escape.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(report::ToUtf8(argv[i]));
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    doctest::Context context(static_cast<int>(pointers.size()), pointers.data());
    return context.run();
}
