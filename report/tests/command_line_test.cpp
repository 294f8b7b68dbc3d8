#include "doctest.h"

#include "app/command_line.h"

using report::ReportOptions;

namespace {

bool Parse(std::vector<std::wstring> arguments, ReportOptions& options, std::wstring& error) {
    arguments.insert(arguments.begin(), L"BristokeReport.exe");
    std::vector<wchar_t*> argv;
    for (std::wstring& argument : arguments) {
        argv.push_back(&argument[0]);
    }
    return report::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, error);
}

} // namespace

TEST_CASE("ParseCommandLine_OptionsAndInputs_InAnyOrder") {
    ReportOptions options;
    std::wstring error;
    REQUIRE(Parse({L"C:\\logs", L"--html", L"r.html", L"D:\\one.log", L"--csv", L"r.csv",
                   L"--expect", L"machines.txt"},
                  options, error));
    CHECK(options.htmlPath == L"r.html");
    CHECK(options.expectPath == L"machines.txt");
    CHECK(options.inputs == std::vector<std::wstring>{L"C:\\logs", L"D:\\one.log"});
    CHECK_FALSE(options.help);
    CHECK_FALSE(options.failedOnly);
}

TEST_CASE("ParseCommandLine_Csv_ThreeFilesFromOneNameOrEachByItself") {
    struct Case {
        std::vector<std::wstring> arguments;
        const wchar_t* files;
        const wchar_t* runs;
        const wchar_t* problems;
    } cases[] = {
        {{L"--csv", L"D:\\r\\fleet.CSV"},
         L"D:\\r\\fleet-files.csv",
         L"D:\\r\\fleet-runs.csv",
         L"D:\\r\\fleet-problems.csv"},
        {{L"--csv", L"fleet"}, L"fleet-files.csv", L"fleet-runs.csv", L"fleet-problems.csv"},
        {{L"--csv-runs", L"r.csv"}, L"", L"r.csv", L""},
        {{L"--csv-problems", L"p.csv", L"--failed-only", L"--csv-files", L"f.csv"},
         L"f.csv",
         L"",
         L"p.csv"},
    };
    for (const auto& c : cases) {
        ReportOptions options;
        std::wstring error;
        std::vector<std::wstring> arguments = c.arguments;
        arguments.push_back(L"C:\\logs");
        REQUIRE(Parse(arguments, options, error));
        CHECK(options.filesCsv == c.files);
        CHECK(options.runsCsv == c.runs);
        CHECK(options.problemsCsv == c.problems);
    }
}

TEST_CASE("ParseCommandLine_Help_AskedForWhereverItStands") {
    for (const wchar_t* help : {L"--help", L"-h", L"/?"}) {
        ReportOptions options;
        std::wstring error;
        REQUIRE(Parse({L"C:\\logs", help}, options, error));
        CHECK(options.help);
    }
}

TEST_CASE("ParseCommandLine_BadCommandLines_RefusedWithAReason") {
    struct Case {
        std::vector<std::wstring> arguments;
        const wchar_t* error;
    } cases[] = {
        {{}, L"no log file or folder given"},
        {{L"--csv", L"r.csv"}, L"no log file or folder given"},
        {{L"C:\\logs", L"--csv"}, L"--csv needs a file name"},
        {{L"C:\\logs", L"--html", L""}, L"--html needs a file name"},
        {{L"C:\\logs", L"--expect"}, L"--expect needs a file name"},
        {{L"--expect", L"a.txt", L"--expect", L"b.txt", L"C:\\logs"}, L"--expect is given twice"},
        {{L"--csv", L"a.csv", L"--csv", L"b.csv", L"C:\\logs"}, L"--csv is given twice"},
        {{L"--pdf", L"r.pdf", L"C:\\logs"}, L"unknown option --pdf"},
        {{L"--csv", L"a", L"--csv-runs", L"b.csv", L"C:\\logs"},
         L"--csv and --csv-runs name one file twice"},
        {{L"--failed-only", L"--csv-runs", L"b.csv", L"C:\\logs"},
         L"--failed-only needs the files CSV (--csv or --csv-files)"},
    };
    for (const auto& c : cases) {
        ReportOptions options;
        std::wstring error;
        CHECK_FALSE(Parse(c.arguments, options, error));
        CHECK(error == c.error);
    }
}
