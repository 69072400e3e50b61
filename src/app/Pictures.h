// Every picture of the program, drawn with QPainter rather than loaded, so that each is
// sharp at any device pixel ratio: the toolbar pictures (16 by 15 points), the COMMS
// lamps, the two secondaries pictures, the application icon, and the About box and splash
// pictures of the two brandings.
#pragma once

#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSize>

namespace kvr::app {

enum class Picture {
    None,
    Upload,
    Download,
    Inputs,
    Outputs,
    CalibrateInputs,
    CalibrateOutputs,
    Monitors,
    SecondariesOn,   // the secondaries button while secondary values are shown
    SecondariesOff,  // ... while primary values are shown
    EnableLogging,
    DisableLogging,
    NewLog,
    Diagnostics,
    Display,
    Com,
    QueryDevice,
    About,
    ContextHelp,
    LampOn,
    LampOff,
    AppIcon,
};

inline constexpr QSize kToolPictureSize{16, 15};

// The toolbar picture of a command (None when it has none).
Picture CommandPicture(int commandId);
// One picture drawn at a logical size for a device pixel ratio.
QPixmap DrawPicture(Picture picture, QSize logicalSize, qreal devicePixelRatio);
// A toolbar picture for ratios 1 and 2 (and the disabled look Qt derives from them); the
// secondaries button's icon carries its checked picture as the "on" state.
QIcon ToolIcon(Picture picture);
// The application icon in the usual sizes.
QIcon ApplicationIcon();

// A dark palette for the Fusion style (the --dark option and the tests of the look).
QPalette DarkPalette();

// The About box and splash pictures of a branding (1 or 2); null for any other branding,
// which has none.
QPixmap AboutPicture(int branding, qreal devicePixelRatio);
QPixmap SplashPicture(int branding, qreal devicePixelRatio);

}  // namespace kvr::app
