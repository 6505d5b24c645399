// Runs a program as a user would, capturing its exit status and its two
// output streams.
#pragma once

#include <string>
#include <vector>

namespace orvex::test {

struct ProgramRun {
    int status = -1; // exit status, or -1 if it did not exit normally
    std::string out;
    std::string err;
};

// Runs program with args (no shell involved in the arguments).
ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args);

// The built orvex program.
std::string orvexProgram();

} // namespace orvex::test
