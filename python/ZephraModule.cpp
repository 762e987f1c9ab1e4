// The compiled part of the Python package zephra: the keyer over numpy arrays, the engine's
// procedural interface, and the keyer's argument table. The package's __init__.py builds the
// keyword interface (zephra.key, zephra.Keyer) on top of it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "host/ZephraParams.h"
#include "python/BandRender.h"
#include "python/EngineBinding.h"
#include "python/EngineError.h"
#include "python/KeyerCore.h"

namespace py = pybind11;
using zephra_python::EngineError;
using zephra_python::KeyerCore;

namespace {

const char* kindName(ZephraArgKind kind) {
    switch (kind) {
        case ZephraArgKind::Image:
            return "image";
        case ZephraArgKind::Float:
            return "float";
        case ZephraArgKind::Int:
            return "int";
        case ZephraArgKind::Text:
            return "str";
    }
    return "";
}

py::object optionalText(const char* text) { return text ? py::object(py::str(text)) : py::none(); }

// Zephra_1v4's arguments in declaration order, one dict each.
py::list argumentTable() {
    py::list table;
    for (std::size_t i = 0; i < zephraArgCount(); ++i) {
        const ZephraArg& a = zephraArgs()[i];
        py::dict entry;
        entry["name"] = a.name;
        entry["plug"] = a.plug;
        entry["kind"] = kindName(a.kind);
        entry["default"] = optionalText(a.defaultText);
        entry["follows"] = optionalText(a.follows);
        entry["minimum"] = a.minimum;
        entry["maximum"] = a.maximum;
        entry["group"] = a.group;
        entry["help"] = a.help;
        py::list choices;
        if (a.choices)
            for (const char* const* c = a.choices; *c; ++c) choices.append(*c);
        entry["choices"] = choices;
        entry["default_value"] = a.kind == ZephraArgKind::Text || a.kind == ZephraArgKind::Image
                                     ? optionalText(a.defaultText)
                                     : py::object(py::float_(zephraDefaultValue(a)));
        table.append(entry);
    }
    return table;
}

// The two kinds of engine error, made when the module loads. Held for the life of the
// process: objects of static storage would be released after the interpreter is gone.
py::object* tablesError = nullptr;
py::object* renderRefused = nullptr;

bool acceptsText(const std::string& name, const std::string& text) {
    const ZephraArg* arg = zephraFindArg(name);
    if (!arg) throw py::key_error(name);
    return zephraAcceptsText(*arg, text.c_str());
}

}  // namespace

PYBIND11_MODULE(_zephra, m) {
    m.doc() =
        "The compiled core of the zephra package; use zephra.key, zephra.Keyer and "
        "zephra.Engine.";

    // Kept for the life of the process, like the two kinds below.
    auto& error = *new py::exception<EngineError>(m, "Error", PyExc_RuntimeError);
    tablesError = new py::object(py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "zephra.TablesError", "The engine could not build its tables (make_luts returned code).",
        error.ptr(), nullptr)));
    renderRefused = new py::object(py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "zephra.RenderRefused", "The engine refused a tile (render returned code).", error.ptr(),
        nullptr)));
    m.attr("TablesError") = *tablesError;
    m.attr("RenderRefused") = *renderRefused;
    error.attr("__doc__") = "A non-zero result of the keyer engine; `code` holds it.";
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const EngineError& e) {
            const py::object& type =
                e.kind() == EngineError::Kind::Tables ? *tablesError : *renderRefused;
            py::object instance = type(e.what());
            instance.attr("code") = e.code();
            PyErr_SetObject(type.ptr(), instance.ptr());
        }
    });

    m.def("arguments", &argumentTable,
          "Zephra_1v4's arguments in declaration order: name, plug, kind, default, follows, "
          "minimum, maximum, group, help, choices, default_value.");
    m.def("accepts_text", &acceptsText, py::arg("name"), py::arg("text"),
          "Whether the keyer takes text as one of the values the text argument `name` names.");
    m.def("default_threads", &zephra_python::defaultThreadCount);

    py::class_<KeyerCore>(m, "KeyerCore")
        .def(py::init<>())
        .def("set", &KeyerCore::set, py::arg("values"))
        .def("key", &KeyerCore::key, py::arg("fg"), py::arg("bg"), py::arg("holdout"),
             py::arg("garbage"), py::arg("threads"), py::arg("out"), py::arg("headroom"))
        .def_property_readonly("changes", &KeyerCore::changes);

    zephra_python::bindEngine(m);
}
