#include "app/RenderTool.h"

#include <iostream>

int main(int argc, char** argv) {
    return tamborel::app::runRenderTool(std::vector<std::string>(argv + 1, argv + argc), std::cerr);
}
