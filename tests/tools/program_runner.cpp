#include "tools/program_runner.h"

namespace orvex::test {

ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args)
{
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    return Run(all);
}

std::string orvexProgram()
{
    return BuildProgram("orvex");
}

} // namespace orvex::test
