#include "app/KitTool.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return tamborel::app::runKitTool(args, std::cout, std::cerr);
}
