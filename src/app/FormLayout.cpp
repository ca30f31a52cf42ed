#include "FormLayout.h"

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

FormGeometry designGeometry()
{
    FormGeometry g;
    g.tabControl = {120, 1620, 7920, 3855};
    g.list = {240, 480, 5400, 2535};
    g.frame1 = {240, 480, 6360, 840};
    g.combo1 = {240, 300, 5880, 390};
    g.frame2 = {240, 1440, 6360, 840};
    g.combo2 = {240, 300, 5880, 390};
    g.progressBar = {120, 6615, 6360, 405};
    g.firstColumnWidth = 5000;
    return g;
}

FormGeometry applyResizeRule(const FormGeometry &current, float w, float h, bool minimized)
{
    FormGeometry g = current;
    if (minimized)
        return g;
    assign(g.tabControl.width, w - 240);
    assign(g.tabControl.height, h - 2260);
    assign(g.list.width, g.tabControl.width - 480);
    assign(g.list.height, g.tabControl.height - 630);
    assign(g.frame1.width, w - 720);
    assign(g.frame2.width, w - 720);
    assign(g.combo1.width, w - 1220);
    assign(g.combo2.width, w - 1220);
    assign(g.progressBar.top, g.tabControl.height + 1750);
    assign(g.progressBar.width, w - 240);
    assign(g.firstColumnWidth, g.list.width - 500);
    return g;
}
