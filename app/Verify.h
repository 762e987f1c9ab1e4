#pragma once
// pxhost verify: re-keys frames here and compares them with the digests a render recorded
// (pxhost --digest, or the tasks of pxhost submit --digest), without writing any file:
//   pxhost verify DIGESTS [-t SAMPLE] [--plugin-dir DIR] [--threads N] [SCRIPT]
// SCRIPT defaults to the script the records name; SAMPLE to every recorded frame.

namespace pxhost {

// args: the arguments after "verify". Returns 0 when every frame matches its record, 1 when
// one differs, has no record or fails to render. Throws HostError.
int runVerify(int argc, const char* const* argv);

}  // namespace pxhost
