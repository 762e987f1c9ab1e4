#pragma once
// Running another program (Slurm's sbatch and squeue) and collecting what it prints.

#include <string>
#include <vector>

namespace pxhost {

struct ChildResult {
    int status = 0;      // exit status; 128 + n when ended by signal n
    std::string output;  // standard output; standard error goes to ours
};

// Runs argv[0] (looked up in PATH) with the arguments and waits for it. Throws RenderError
// when the program cannot be started.
ChildResult runChild(const std::vector<std::string>& argv);

}  // namespace pxhost
