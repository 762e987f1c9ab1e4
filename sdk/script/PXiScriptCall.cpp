#include "sdk/script/PXiScriptFunction.h"

#include <array>
#include <utility>

// Calls to exported functions. An address found by name is called through a pointer of its real
// type, PXiIPlug* (*)(PXiIPlug* x K, const char* x M): one instantiation per (K, M) of the
// supported family, picked from a table at run time.
namespace {

template <size_t>
using ImageArg = PXiIPlug*;
template <size_t>
using TextArg = const char*;

using Caller = PXiIPlug* (*)(PXiExportedAddress, PXiIPlug* const*, const char* const*);

template <size_t... I, size_t... J>
PXiIPlug* callExact(PXiExportedAddress fn, PXiIPlug* const* images, const char* const* texts,
                    std::index_sequence<I...>, std::index_sequence<J...>) {
    using Exact = PXiIPlug* (*)(ImageArg<I>..., TextArg<J>...);
    (void)images;
    (void)texts;
    return reinterpret_cast<Exact>(fn)(images[I]..., texts[J]...);
}

template <size_t K, size_t M>
PXiIPlug* callWith(PXiExportedAddress fn, PXiIPlug* const* images, const char* const* texts) {
    return callExact(fn, images, texts, std::make_index_sequence<K>(),
                     std::make_index_sequence<M>());
}

using Row = std::array<Caller, kPXiMaxTextParams + 1>;
using Table = std::array<Row, kPXiMaxImageParams + 1>;

template <size_t K, size_t... M>
constexpr Row makeRow(std::index_sequence<M...>) {
    return Row{{&callWith<K, M>...}};
}

template <size_t... K>
constexpr Table makeTable(std::index_sequence<K...>) {
    return Table{{makeRow<K>(std::make_index_sequence<kPXiMaxTextParams + 1>())...}};
}

constexpr Table kCallers = makeTable(std::make_index_sequence<kPXiMaxImageParams + 1>());

}  // namespace

PXiIPlug* PXiCallExported(PXiExportedAddress fn, const std::vector<PXiIPlug*>& images,
                          const std::vector<const char*>& texts) {
    return kCallers.at(images.size()).at(texts.size())(fn, images.data(), texts.data());
}
