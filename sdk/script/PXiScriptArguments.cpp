#include "sdk/script/PXiScriptArguments.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "sdk/script/PXiCommandInfo.h"
#include "sdk/script/PXiScriptError.h"

namespace {

// How many close names an unknown name's message offers.
constexpr size_t kSuggestions = 3;

// The plug-in's description of `function`, when it has one that fits the declaration.
std::shared_ptr<const PXiCommandDescription> descriptionOf(const PXiScriptFunction& function) {
    auto d = PXiCommandInfo::find(function.name);
    if (!d || d->args.size() != function.params.size()) return nullptr;
    return d;
}

// Edit distance in which a change of letter case alone costs 1 and any other edit 2.
size_t spellingDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = 2 * j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = 2 * i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const unsigned char x = static_cast<unsigned char>(a[i - 1]);
            const unsigned char y = static_cast<unsigned char>(b[j - 1]);
            const size_t change = x == y ? 0 : (std::tolower(x) == std::tolower(y) ? 1 : 2);
            const size_t best = std::min({row[j] + 2, row[j - 1] + 2, diagonal + change});
            diagonal = row[j];
            row[j] = best;
        }
    }
    return row[b.size()];
}

std::string quotedList(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) text += i + 1 == names.size() ? " or " : ", ";
        text += "'" + names[i] + "'";
    }
    return text;
}

}  // namespace

std::vector<std::string> PXiClosestNames(const std::string& name,
                                         const std::vector<std::string>& candidates, size_t count) {
    std::vector<std::pair<size_t, size_t>> ranked;  // distance, position
    for (size_t i = 0; i < candidates.size(); ++i)
        ranked.emplace_back(spellingDistance(name, candidates[i]), i);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (const auto& r : ranked) {
        if (out.size() == count) break;
        if (std::find(out.begin(), out.end(), candidates[r.second]) == out.end())
            out.push_back(candidates[r.second]);
    }
    return out;
}

std::vector<std::string> PXiParameterNames(const PXiScriptFunction& function, size_t index) {
    std::vector<std::string> names;
    const PXiScriptParam& p = function.params.at(index);
    if (!p.name.empty()) names.push_back(p.name);
    if (auto d = descriptionOf(function)) {
        const PXiCommandArg& a = d->args[index];
        std::vector<std::string> described = a.aliases;
        described.insert(described.begin(), a.name);
        for (const std::string& n : described)
            if (!n.empty() && std::find(names.begin(), names.end(), n) == names.end())
                names.push_back(n);
    }
    return names;
}

std::string PXiDescribeParameter(const PXiScriptFunction& function, size_t index) {
    const PXiScriptParam& p = function.params.at(index);
    if (p.type == PXiType::image) {
        auto d = descriptionOf(function);
        if (d && !d->args[index].help.empty()) return "the " + d->args[index].help;
    }
    if (!p.name.empty()) return "parameter '" + p.name + "' (" + p.type.name() + ")";
    return std::string(p.type.name()) + " parameter " + std::to_string(index + 1);
}

std::vector<const PXiScriptExpr*> PXiMatchArguments(const PXiScriptFunction& f,
                                                    const PXiScriptExpr& call,
                                                    const std::string& file) {
    std::vector<const PXiScriptExpr*> given(f.params.size(), nullptr);
    std::vector<bool> byName(f.params.size(), false);
    size_t positional = 0;
    const PXiScriptExpr* firstNamed = nullptr;
    for (const PXiScriptExpr& a : call.args) {
        if (a.label.empty()) {
            if (firstNamed)
                throw PXiScriptError(file, a.pos,
                                     f.name +
                                         ": an argument by position cannot follow one by "
                                         "name ('" +
                                         firstNamed->label + "')");
            if (positional == f.params.size())
                throw PXiScriptError(file, a.pos,
                                     "too many arguments to " + f.name + ": it takes " +
                                         std::to_string(f.params.size()) + ", given " +
                                         std::to_string(call.args.size()));
            given[positional++] = &a;
            continue;
        }
        if (!firstNamed) firstNamed = &a;
        size_t index = f.params.size();
        std::vector<std::string> all;
        for (size_t i = 0; i < f.params.size(); ++i) {
            for (const std::string& n : PXiParameterNames(f, i)) {
                if (n == a.label && index == f.params.size()) index = i;
                all.push_back(n);
            }
        }
        if (index == f.params.size()) {
            const std::vector<std::string> close = PXiClosestNames(a.label, all, kSuggestions);
            throw PXiScriptError(
                file, a.labelPos,
                f.name + " has no parameter '" + a.label + "'" +
                    (close.empty() ? std::string() : "; closest: " + quotedList(close)));
        }
        if (given[index]) {
            const std::string how =
                byName[index] ? "by name before"
                              : "by position (argument " + std::to_string(index + 1) + ")";
            throw PXiScriptError(file, a.labelPos,
                                 f.name + ": " + PXiDescribeParameter(f, index) +
                                     " is given twice: " + how + " and as '" + a.label + "'");
        }
        given[index] = &a;
        byName[index] = true;
    }
    return given;
}
