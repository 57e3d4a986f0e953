// The effect's parameters, each declared once: the key the host knows it
// by, its label and hint as the user sees them (trailing blank and unmatched
// parenthesis included: hosts show them as they stand), its default and
// range, and for a choice its options with what each one means. The factory
// describes from this table; the instance reads defaults and meanings here.
#pragma once

#include <cstdint>
#include <span>

namespace orvalis::plugin {

enum class ParamKind { Choice, Group, Boolean, PushButton, Int, Double };

// One option of a choice and what it stands for: a mode, a cap of points,
// a frame rate.
struct ChoiceOption {
    const char* label;
    int meaning;
};

struct ParamDef {
    const char* name;
    const char* label;
    const char* hint;
    ParamKind kind;
    double defaultValue = 0.0;  // a choice's default option index; a boolean's 0 or 1
    double minimum = 0.0;       // range and display range (Int and Double)
    double maximum = 0.0;
    double increment = 0.0;  // Double only; 0 leaves the host's
    std::span<const ChoiceOption> options = {};
    bool animates = false;
    bool inMainGroup = false;  // a child of the "3D Visualization" group
};

// Clip names.
inline constexpr char kSourceClip[] = "Source";
inline constexpr char kOutputClip[] = "Output";

// "pluginMode" meanings.
inline constexpr int kModeVisualization = 0;
inline constexpr int kModeCubeMap = 1;

// A history holds this many seconds of clouds at the chosen frame rate.
inline constexpr int kHistorySeconds = 5;

inline constexpr ChoiceOption kModeOptions[] = {{"Orvalis", kModeVisualization}, {"CubeMap", kModeCubeMap}};
inline constexpr ChoiceOption kDownsampleOptions[] = {
    {"100%", 100'000}, {"75%", 75'000}, {"50%", 50'000}, {"25%", 25'000}, {"10%", 10'000}};
inline constexpr ChoiceOption kFrameRateOptions[] = {{"24", 24}, {"25", 25}, {"30", 30}, {"50", 50}, {"60", 60}};

inline constexpr ParamDef kPluginMode{"pluginMode",
                                      "Mode",
                                      "Switch between (3D Cube Visualization) and (CubeMap)",
                                      ParamKind::Choice,
                                      kModeVisualization,
                                      0,
                                      0,
                                      0,
                                      kModeOptions};
inline constexpr ParamDef kMainGroup{"mainParameters", "3D Visualization", "Main 3D visualization parameters",
                                     ParamKind::Group};
inline constexpr ParamDef kCropToCubeMap{"cropToCubeMap",
                                         "Crop to cube map",
                                         "Crop input image to the cube map region",
                                         ParamKind::Boolean,
                                         0,
                                         0,
                                         0,
                                         0,
                                         {},
                                         false,
                                         true};
inline constexpr ParamDef kOpenViewer{"open3DViewer",
                                      "Open 3D Viewer",
                                      "Open external 3D visualization window)",
                                      ParamKind::PushButton,
                                      0,
                                      0,
                                      0,
                                      0,
                                      {},
                                      false,
                                      true};
inline constexpr ParamDef kCubeMapSize{
    "cubeMapSize", "Cube Map Size", "Number of color steps per channel", ParamKind::Int, 30, 8, 30};
inline constexpr ParamDef kDownsample{"downsample",
                                      "Downsample",
                                      "Lower the number of samples to reduce processing time",
                                      ParamKind::Choice,
                                      2,
                                      0,
                                      0,
                                      0,
                                      kDownsampleOptions,
                                      false,
                                      true};
inline constexpr ParamDef kFrameRate{"frameRate",
                                     "FPS",
                                     "Select frame rate for calculation and continuous updates",
                                     ParamKind::Choice,
                                     0,
                                     0,
                                     0,
                                     0,
                                     kFrameRateOptions,
                                     false,
                                     true};
inline constexpr ParamDef kPointSize{
    "pointSize", "Points Size", "3D sphere point size ", ParamKind::Double, 4.0, 1.0, 10.0, 0.1, {}, true, true};

// Every parameter, in the order the host is told about them.
inline constexpr const ParamDef* kParameters[] = {&kPluginMode,  &kMainGroup,  &kCropToCubeMap, &kOpenViewer,
                                                  &kCubeMapSize, &kDownsample, &kFrameRate,     &kPointSize};

// What option `index` of a choice means; the default option's meaning for
// an index the choice does not have.
constexpr int optionMeaning(const ParamDef& choice, int index) noexcept {
    if (index < 0 || static_cast<std::size_t>(index) >= choice.options.size()) {
        index = static_cast<int>(choice.defaultValue);
    }
    return choice.options[static_cast<std::size_t>(index)].meaning;
}

// The point cap of a "downsample" option.
constexpr std::uint32_t pointCapForDownsample(int index) noexcept {
    return static_cast<std::uint32_t>(optionMeaning(kDownsample, index));
}

// The history length of a "frameRate" option: kHistorySeconds of clouds.
constexpr std::uint64_t historyCapacityForFrameRate(int index) noexcept {
    return static_cast<std::uint64_t>(optionMeaning(kFrameRate, index)) * kHistorySeconds;
}

}  // namespace orvalis::plugin
