#include <iostream>
#include <span>

#include "cli/platform_memory.h"
#include "cli/tool_main.h"
#include "output/platform_output.h"

int main(int argc, char** argv) {
    lumenpull::keepFreedMemoryForReuse();
    lumenpull::installInterruptCleanup();
    const std::span<const char* const> arguments(argv + (argc > 0 ? 1 : 0), argc > 1 ? argc - 1 : 0);
    return lumenpull::runTool(arguments, std::cout, &std::cerr);
}
