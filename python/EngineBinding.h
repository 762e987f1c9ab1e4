#pragma once

#include <pybind11/pybind11.h>

namespace zephra_python {

// zephra.Image and zephra.Engine: the procedural interface one to one, with tiles made of
// numpy arrays.
void bindEngine(pybind11::module_& m);

}  // namespace zephra_python
