#include "process/exec_pipe.h"

std::string BuildCommandLine(const std::string& program, const std::string& arguments)
{
    std::string line = program;
    if (line.find(' ') != std::string::npos && line.find('"') == std::string::npos) line = "\"" + line + "\"";
    if (!arguments.empty()) line += " " + arguments;
    return line;
}
