#include "WindowLayout.h"

#include <cmath>

namespace {

// The largest length a control takes, in twips (Qt's widget size limit).
constexpr float MaxLength = 16777215.0f * TwipsPerPixel;

// Assigns a length unless the control would refuse it.
void assign(float &target, float value)
{
    if (std::isfinite(value) && value >= 0 && value <= MaxLength)
        target = value;
}

} // namespace

WindowGeometry designGeometry()
{
    WindowGeometry g;
    g.tabControl = {120, 1620, 7920, 3855};
    g.list = {240, 480, 5400, 2535};
    g.printerGroup = {240, 480, 6360, 840};
    g.printerCombo = {240, 300, 5880, 390};
    g.pauseGroup = {240, 1440, 6360, 840};
    g.pauseCombo = {240, 300, 5880, 390};
    g.progressBar = {120, 6615, 6360, 405};
    g.firstColumnWidth = 5000;
    return g;
}

WindowGeometry applyResizeRule(const WindowGeometry &current, float w, float h, bool minimized)
{
    WindowGeometry g = current;
    if (minimized)
        return g;
    assign(g.tabControl.width, w - 240);
    assign(g.tabControl.height, h - 2260);
    assign(g.list.width, g.tabControl.width - 480);
    assign(g.list.height, g.tabControl.height - 630);
    assign(g.printerGroup.width, w - 720);
    assign(g.pauseGroup.width, w - 720);
    assign(g.printerCombo.width, w - 1220);
    assign(g.pauseCombo.width, w - 1220);
    assign(g.progressBar.top, g.tabControl.height + 1750);
    assign(g.progressBar.width, w - 240);
    assign(g.firstColumnWidth, g.list.width - 500);
    return g;
}
