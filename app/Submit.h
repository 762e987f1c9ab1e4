#pragma once
// pxhost submit: renders a script's frames on a Slurm cluster as one array job, a chunk of
// frames per task, each task running this same program on its frames:
//   pxhost submit key.pxs -t 1-1000 [--chunk 10] [--partition P] [--wait] [-- sbatch options]
// Takes the render options of pxhost too (--plugin-dir, --threads, --skip-existing,
// --digest, -v), and passes them on to every task.

namespace pxhost {

// args: the arguments after "submit". Returns the exit status: 0 when the job was submitted
// (with --wait: when every frame was written), 1 when it could not be or a frame failed.
// Throws HostError.
int runSubmit(int argc, const char* const* argv);

}  // namespace pxhost
