#pragma once
// `tamborel-kit`: build, check and list kit documents from the command line.

#include <iosfwd>
#include <string>
#include <vector>

namespace tamborel::app {

// Runs one command (the arguments after the program name). Exit codes: 0 success,
// 1 a checked document was rejected or a kit could not be imported, 2 bad arguments.
int runKitTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tamborel::app
