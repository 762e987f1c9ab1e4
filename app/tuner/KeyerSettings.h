#pragma once
// The tuner's current keyer parameters: one value per argument of the keyer command, kept as
// the text a script gives it, checked against the argument's kind, range and accepted texts,
// and written back as the keyer call of a script.

#include <stdexcept>
#include <string>
#include <vector>

#include "app/tuner/KeyerParameters.h"

namespace pxhost::tuner {

// A value the keyer command does not take; the message names the parameter.
class InvalidParameter : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class KeyerSettings {
public:
    // Every parameter at its default.
    explicit KeyerSettings(const KeyerCommand& command);

    // Sets one parameter from the text a script would give it: a number for numeric
    // parameters (or, where the default follows another parameter, that parameter's name), one
    // of the accepted texts for text parameters. Throws InvalidParameter and keeps the old value.
    void set(const std::string& name, const std::string& text);
    const std::string& value(const std::string& name) const;

    // The keyer call: the image arguments as given (names or 0), then every parameter that
    // differs from its default, by name. outputOverride, when not empty, replaces the output
    // parameter.
    std::string call(const std::vector<std::string>& images,
                     const std::string& outputOverride = "") const;

    const KeyerCommand& command() const { return m_command; }

private:
    size_t indexOf(const std::string& name) const;

    const KeyerCommand& m_command;
    std::vector<std::string> m_values;  // in the command's parameter order
};

// A text as a quoted script literal.
std::string quoteScriptText(const std::string& text);

}  // namespace pxhost::tuner
