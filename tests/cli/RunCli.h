#pragma once
// Runs kormoran-cli as a script would: arguments, standard input, and what comes back.

#include <functional>
#include <string>
#include <vector>

struct TCliResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// heard, when given, is told the standard output so far whenever more of it came: a test
// answers what the program asks for while it runs.
TCliResult RunCli(const std::vector<std::string>& args, const std::string& input = "",
                  const std::function<void(const std::string& out)>& heard = {});
