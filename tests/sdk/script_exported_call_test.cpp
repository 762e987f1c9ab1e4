// Exported functions are called through their exact type, for every image count and a spread of
// text counts: each argument arrives in its place and the result comes back.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "script_fixture.h"
#include "sdk/script/PXiScriptFunction.h"

namespace {

struct Seen {
    std::vector<PXiIPlug*> images;
    std::vector<std::string> texts;
};
Seen g_seen;

template <size_t>
using Img = PXiIPlug*;
template <size_t>
using Txt = const char*;

template <class Images, class Texts>
struct Probe;
template <size_t... I, size_t... J>
struct Probe<std::index_sequence<I...>, std::index_sequence<J...>> {
    static PXiIPlug* fn(Img<I>... images, Txt<J>... texts) {
        g_seen.images = {images...};
        g_seen.texts = {std::string(texts)...};
        return fakeImage(int(100 * sizeof...(I) + sizeof...(J)));
    }
};

template <size_t K, size_t M>
void checkOne() {
    using P = Probe<std::make_index_sequence<K>, std::make_index_sequence<M>>;
    std::vector<PXiIPlug*> images;
    for (size_t i = 0; i < K; ++i)
        images.push_back(i % 3 == 1 ? nullptr : fakeImage(int(7 * i + 1)));
    std::vector<std::string> owned;
    for (size_t j = 0; j < M; ++j) owned.push_back("t" + std::to_string(j * 13 % 97));
    std::vector<const char*> texts;
    for (const std::string& t : owned) texts.push_back(t.c_str());
    g_seen = Seen();
    PXiIPlug* result = PXiCallExported(reinterpret_cast<PXiExportedAddress>(&P::fn), images, texts);
    EXPECT_EQ(result, fakeImage(int(100 * K + M))) << K << " images, " << M << " texts";
    EXPECT_EQ(g_seen.images, images) << K << " images, " << M << " texts";
    EXPECT_EQ(g_seen.texts, owned) << K << " images, " << M << " texts";
}

template <size_t K, size_t... M>
void checkRow(std::index_sequence<M...>) {
    (checkOne<K, M>(), ...);
}

template <size_t... K>
void checkAll(std::index_sequence<K...>) {
    // Text counts at the ends of the range and in between.
    (checkRow<K>(std::index_sequence<0, 1, 2, 7, 30, 32, 47, kPXiMaxTextParams>()), ...);
}

TEST(ScriptExportedCall, EveryArgumentArrivesInItsPlace) {
    checkAll(std::make_index_sequence<kPXiMaxImageParams + 1>());
}

}  // namespace
