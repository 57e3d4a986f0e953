// The View menu's items and commands, and the item geometry both shells draw.
#include "app/view_menu.h"

#include <algorithm>

namespace orvalis::viewer {

std::array<MenuItem, 4> viewMenuItems(const ViewerState& state) {
    return {{
        {kCommandStayOnTop, "Stay on top", state.stayOnTop, true},
        {kCommandGreyBackground, "Grey Background", state.greyBackground, true},
        {kCommandHighlightOutOfRange, "Highlight out of gamut", state.highlightOutOfRange.load(), true},
        {kCommandGamutIndicator, "Gamut indicator", state.gamutIndicator.load(), true},
    }};
}

std::optional<bool> menuItemChecked(const ViewerState& state, int id) {
    for (const MenuItem& item : viewMenuItems(state))
        if (item.id == id)
            return item.checked;
    return std::nullopt;
}

CommandEffect onMenuCommand(ViewerState& state, int id, SettingsStore& store) {
    CommandEffect effect;
    switch (id) {
    case kCommandStayOnTop:
        // Not remembered: every start is on top again.
        state.stayOnTop = !state.stayOnTop;
        effect.handled = true;
        effect.stayOnTopChanged = true;
        return effect;
    case kCommandGreyBackground: state.greyBackground = !state.greyBackground; break;
    case kCommandHighlightOutOfRange: state.highlightOutOfRange.store(!state.highlightOutOfRange.load()); break;
    case kCommandGamutIndicator: state.gamutIndicator.store(!state.gamutIndicator.load()); break;
    default: return effect;
    }
    saveSettings(state, store);
    effect.handled = true;
    effect.redraw = true;
    return effect;
}

std::array<MenuPoint, 3> checkMarkPoints(int /*left*/, int top, int right, int bottom) {
    const int cx = (2 * right - 25) / 2;
    const int cy = (top + bottom) / 2;
    return {{{cx - 4, cy}, {cx - 1, cy + 3}, {cx + 4, cy - 3}}};
}

MenuItemSize menuItemSize(int textWidth, int textHeight) { return {textWidth + 60, std::max(textHeight + 8, 24)}; }

}  // namespace orvalis::viewer
