// The command-line host: describing a bundle and rendering a frame through it.
#ifndef OFXHOST_CLI_H
#define OFXHOST_CLI_H

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "ofxhost/host.h"

namespace ofxhost {

// Human-readable description of a plug-in: every flag, clip and parameter,
// texts in double quotes so that blanks at their ends show.
std::string formatDescription(const PluginDescription& d);

// A --param name=value, resolved against the plug-in's parameters.
struct ParamAssignment {
    std::string name;
    std::vector<double> values;       // numeric, boolean and choice parameters
    std::optional<std::string> text;  // string parameters
};

// Parses name=value: choices by index or option text, booleans as
// true/false/on/off/yes/no/1/0, numbers comma-separated per dimension.
// Null with the reason in error.
std::optional<ParamAssignment> parseParamAssignment(const std::string& arg, const PluginDescription& d,
                                                    std::string& error);

// Brings each value of a numeric assignment into the parameter's declared
// range, as hosts do with a value outside it. One line per value changed,
// for the user; empty when every value was inside.
std::vector<std::string> clampToRange(ParamAssignment& a, const PluginDescription& d);

// The whole program; returns its exit code (0 success, 1 usage, 2 plug-in
// could not be loaded or instantiated, 3 render failed, 4 image file error).
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ofxhost

#endif
