#pragma once

// The main window's layout rule, in twips (1/1440 inch; 15 twips make one
// pixel at 96 dots per inch), as single-precision numbers.

struct TwipsRect
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool operator==(const TwipsRect &) const = default;
};

struct WindowGeometry
{
    TwipsRect tabControl;
    TwipsRect list;
    TwipsRect printerGroup;
    TwipsRect printerCombo;
    TwipsRect pauseGroup;
    TwipsRect pauseCombo;
    TwipsRect progressBar;
    float firstColumnWidth = 0;
    bool operator==(const WindowGeometry &) const = default;
};

inline constexpr float TwipsPerPixel = 15.0f;
inline constexpr float DesignInnerWidth = 10680;
inline constexpr float DesignInnerHeight = 7380;

// The controls as designed, before the rule first runs.
[[nodiscard]] WindowGeometry designGeometry();

// Fits the controls to an inner size of w x h twips. Every step stands alone:
// a size the controls would refuse (negative, or beyond their range) is not
// applied, the control keeps its value, and the next step runs. A minimized
// window is not laid out.
[[nodiscard]] WindowGeometry applyResizeRule(const WindowGeometry &current, float w, float h,
                                             bool minimized = false);
