#pragma once
// Runs kormoran-cli as a script would: arguments, standard input, and what comes back.

#include <string>
#include <vector>

struct TCliResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

TCliResult RunCli(const std::vector<std::string>& args, const std::string& input = "");
