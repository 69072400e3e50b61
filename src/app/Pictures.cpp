#include "app/Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "app/CommandTable.h"

namespace kvr::app {

namespace {

struct CommandPictureEntry {
    int id;
    Picture picture;
};

const CommandPictureEntry kCommandPictures[] = {
    {kCmdUpload, Picture::Upload},
    {kCmdDownload, Picture::Download},
    {kCmdInputs, Picture::Inputs},
    {kCmdOutputs, Picture::Outputs},
    {kCmdCalAllInputs, Picture::CalibrateInputs},
    {kCmdCalAllOutputs, Picture::CalibrateOutputs},
    {kCmdMonitors, Picture::Monitors},
    {kCmdSecondaries, Picture::SecondariesOff},
    {kCmdEnableLogging, Picture::EnableLogging},
    {kCmdDisableLogging, Picture::DisableLogging},
    {kCmdNewLog, Picture::NewLog},
    {kCmdDiagnostics, Picture::Diagnostics},
    {kCmdDisplay, Picture::Display},
    {kCmdCom, Picture::Com},
    {kCmdQueryDevice, Picture::QueryDevice},
    {kCmdAbout, Picture::About},
    {kCmdContextHelp, Picture::ContextHelp},
};

const QColor kOutline(40, 40, 40);
const QColor kBlue(30, 80, 180);
const QColor kGreen(20, 150, 40);
const QColor kRed(200, 30, 30);

QPen Pen(const QColor& c, qreal w = 1.0) {
    QPen pen(c, w);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// The attached unit: a small grey case with its green lamp.
void DrawUnit(QPainter& p, const QRectF& r) {
    p.setPen(Pen(kOutline));
    p.setBrush(QColor(150, 155, 165));
    p.drawRoundedRect(r, 1.0, 1.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 220, 60));
    p.drawEllipse(QPointF(r.right() - 2.5, r.center().y()), 1.0, 1.0);
}

void DrawArrow(QPainter& p, bool up, const QColor& colour) {
    QPolygonF arrow;
    if (up) {
        arrow << QPointF(8, 0.5) << QPointF(13, 5.5) << QPointF(10, 5.5) << QPointF(10, 9)
              << QPointF(6, 9) << QPointF(6, 5.5) << QPointF(3, 5.5);
    } else {
        arrow << QPointF(8, 9) << QPointF(13, 4) << QPointF(10, 4) << QPointF(10, 0.5)
              << QPointF(6, 0.5) << QPointF(6, 4) << QPointF(3, 4);
    }
    p.setPen(Pen(colour.darker(150), 0.8));
    p.setBrush(colour);
    p.drawPolygon(arrow);
}

void DrawSine(QPainter& p, const QRectF& r, const QColor& colour, qreal width = 1.3) {
    QPainterPath path;
    const int steps = 48;
    for (int i = 0; i <= steps; ++i) {
        const qreal t = static_cast<qreal>(i) / steps;
        const QPointF pt(r.left() + t * r.width(),
                         r.center().y() - std::sin(t * 2 * M_PI) * r.height() / 2);
        if (i == 0) {
            path.moveTo(pt);
        } else {
            path.lineTo(pt);
        }
    }
    p.setPen(Pen(colour, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void DrawDial(QPainter& p, const QPointF& centre, qreal radius, bool ticks) {
    const QRectF arc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(Pen(kOutline));
    p.setBrush(QColor(250, 250, 235));
    p.drawPie(arc, 0, 180 * 16);
    if (ticks) {
        p.setPen(Pen(kOutline, 0.7));
        for (int a = 30; a <= 150; a += 30) {
            const qreal rad = a * M_PI / 180;
            p.drawLine(
                QPointF(centre.x() + std::cos(rad) * radius * 0.7,
                        centre.y() - std::sin(rad) * radius * 0.7),
                QPointF(centre.x() + std::cos(rad) * radius, centre.y() - std::sin(rad) * radius));
        }
    }
    p.setPen(Pen(kRed, 1.2));
    p.drawLine(centre, QPointF(centre.x() + radius * 0.55, centre.y() - radius * 0.8));
}

// A yellow ruler along the bottom: the calibration pictures.
void DrawRuler(QPainter& p) {
    p.setPen(Pen(QColor(120, 100, 0), 0.8));
    p.setBrush(QColor(250, 215, 60));
    p.drawRect(QRectF(0.5, 10.5, 15, 4));
    for (int x = 2; x <= 14; x += 2) {
        p.drawLine(QPointF(x + 0.5, 10.5), QPointF(x + 0.5, x % 4 == 0 ? 13.0 : 12.0));
    }
}

void DrawPage(QPainter& p) {
    QPolygonF page;
    page << QPointF(2.5, 0.5) << QPointF(10, 0.5) << QPointF(13.5, 4) << QPointF(13.5, 14.5)
         << QPointF(2.5, 14.5);
    p.setPen(Pen(kOutline, 0.9));
    p.setBrush(Qt::white);
    p.drawPolygon(page);
    p.setPen(Pen(QColor(120, 120, 120), 0.8));
    for (qreal y = 4.5; y <= 8.5; y += 2) {
        p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
    }
}

void DrawText(QPainter& p, const QRectF& r, const QString& text, const QColor& colour,
              qreal pixelSize, bool bold = true) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void DrawLamp(QPainter& p, const QSizeF& size, bool on) {
    const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
    const QColor base = on ? QColor(0, 200, 0) : QColor(210, 0, 0);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, base.lighter(160));
    g.setColorAt(0.5, base);
    g.setColorAt(1, base.darker(140));
    p.setPen(Pen(QColor(30, 30, 30), 1.0));
    p.setBrush(g);
    p.drawRect(r);
}

void DrawTool(QPainter& p, Picture picture) {
    switch (picture) {
        case Picture::Upload:
            DrawUnit(p, QRectF(1.5, 10.5, 13, 4));
            DrawArrow(p, true, kGreen);
            break;
        case Picture::Download:
            DrawUnit(p, QRectF(1.5, 10.5, 13, 4));
            DrawArrow(p, false, QColor(220, 110, 20));
            break;
        case Picture::Inputs:
            p.setPen(Pen(kOutline, 0.9));
            p.setBrush(QColor(235, 240, 255));
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 14), 2, 2);
            DrawSine(p, QRectF(2, 3, 12, 9), kBlue);
            break;
        case Picture::Outputs:
            DrawDial(p, QPointF(8, 12.5), 7, true);
            p.setPen(Pen(kOutline));
            p.drawLine(QPointF(0.5, 12.5), QPointF(15.5, 12.5));
            break;
        case Picture::CalibrateInputs:
            DrawSine(p, QRectF(1.5, 1.5, 13, 7), kBlue, 1.2);
            DrawRuler(p);
            break;
        case Picture::CalibrateOutputs:
            DrawDial(p, QPointF(8, 9.5), 6.5, true);
            DrawRuler(p);
            break;
        case Picture::Monitors:
            // A light bezel round the dark screen, so the screen shows on a dark toolbar.
            p.setPen(Pen(kOutline, 0.9));
            p.setBrush(QColor(175, 180, 190));
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 10), 1, 1);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(20, 20, 20));
            p.drawRect(QRectF(2, 2, 12, 7));
            p.setPen(Pen(QColor(0, 255, 0), 1.0));
            for (int row = 0; row < 2; ++row) {
                const qreal y = 3.5 + row * 4;
                p.drawLine(QPointF(2.5, y), QPointF(7, y));
                p.drawLine(QPointF(9, y), QPointF(13.5, y));
            }
            p.setPen(Pen(kOutline));
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(6.5, 11, 3, 2));
            p.drawLine(QPointF(3.5, 14), QPointF(12.5, 14));
            break;
        case Picture::SecondariesOn:
        case Picture::SecondariesOff: {
            const bool on = picture == Picture::SecondariesOn;
            p.setPen(Pen(kBlue.darker(130), 0.9));
            p.setBrush(on ? kBlue : QColor(235, 240, 255));
            p.drawRoundedRect(QRectF(1.5, 0.5, 13, 14), 2, 2);
            DrawText(p, QRectF(1.5, 0.5, 13, 14), on ? QStringLiteral("S") : QStringLiteral("P"),
                     on ? Qt::white : kBlue, 11);
            break;
        }
        case Picture::EnableLogging:
            DrawPage(p);
            p.setPen(Pen(kGreen.darker(130), 0.8));
            p.setBrush(kGreen);
            p.drawEllipse(QPointF(11, 11.5), 3.2, 3.2);
            break;
        case Picture::DisableLogging:
            DrawPage(p);
            p.setPen(Pen(kRed.darker(130), 0.8));
            p.setBrush(kRed);
            p.drawRect(QRectF(8, 8.5, 6, 6));
            break;
        case Picture::NewLog: {
            DrawPage(p);
            QPolygonF star;
            for (int i = 0; i < 10; ++i) {
                const qreal r = i % 2 == 0 ? 3.8 : 1.6;
                const qreal a = -M_PI / 2 + i * M_PI / 5;
                star << QPointF(11 + r * std::cos(a), 11 + r * std::sin(a));
            }
            p.setPen(Pen(QColor(150, 110, 0), 0.7));
            p.setBrush(QColor(255, 210, 0));
            p.drawPolygon(star);
            break;
        }
        case Picture::Diagnostics:
            DrawSine(p, QRectF(0.5, 2, 15, 6), QColor(120, 120, 120), 1.0);
            p.setPen(Pen(kOutline, 1.6));
            p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
            p.setPen(Pen(kOutline, 1.1));
            p.setBrush(QColor(200, 230, 255, 200));
            p.drawEllipse(QPointF(6.5, 6.5), 4.3, 4.3);
            break;
        case Picture::Display:
            p.setPen(Pen(kOutline, 0.9));
            p.setBrush(QColor(60, 70, 60));
            p.drawRoundedRect(QRectF(0.5, 2.5, 15, 10), 1.5, 1.5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(170, 230, 120));
            p.drawRect(QRectF(2, 4, 12, 7));
            DrawText(p, QRectF(2, 4, 12, 7), QStringLiteral("88"), QColor(20, 50, 20), 7.5);
            break;
        case Picture::Com: {
            const QPointF a(3, 12), b(8, 3.5), c(13, 12);
            p.setPen(Pen(kOutline, 1.1));
            p.drawLine(a, b);
            p.drawLine(b, c);
            p.drawLine(a, c);
            p.setPen(Pen(kOutline, 0.8));
            p.setBrush(QColor(255, 200, 60));
            for (const QPointF& pt : {a, b, c}) {
                p.drawEllipse(pt, 2.4, 2.4);
            }
            break;
        }
        case Picture::QueryDevice:
            DrawUnit(p, QRectF(1.5, 10.5, 13, 4));
            DrawText(p, QRectF(2, -0.5, 12, 11), QStringLiteral("?"), kBlue, 11);
            break;
        case Picture::About:
            p.setPen(Pen(kBlue.darker(140), 0.8));
            p.setBrush(kBlue);
            p.drawEllipse(QRectF(1, 0.5, 14, 14));
            DrawText(p, QRectF(1, 0.5, 14, 14), QStringLiteral("i"), Qt::white, 11);
            break;
        case Picture::ContextHelp: {
            QPolygonF arrow;
            arrow << QPointF(1, 1) << QPointF(1, 12) << QPointF(3.8, 9.4) << QPointF(5.8, 13.5)
                  << QPointF(7.3, 12.8) << QPointF(5.4, 8.8) << QPointF(8.8, 8.8);
            p.setPen(Pen(Qt::black, 0.8));
            p.setBrush(Qt::white);
            p.drawPolygon(arrow);
            DrawText(p, QRectF(7, 0, 9, 11), QStringLiteral("?"), kBlue, 10);
            break;
        }
        default:
            break;
    }
}

// The program's logo: a meter dial over a live wave on a blue tile. The same drawing is
// the window icon, the About box and splash pictures, and packaging/kvrview.svg.
void DrawLogo(QPainter& p, qreal side) {
    p.scale(side / 16.0, side / 16.0);
    QLinearGradient g(0, 0, 0, 16);
    g.setColorAt(0, QColor(50, 100, 200));
    g.setColorAt(1, QColor(20, 50, 120));
    p.setPen(Pen(QColor(15, 30, 80), 0.6));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    DrawDial(p, QPointF(8, 10), 5.5, true);
    DrawSine(p, QRectF(2.5, 11.5, 11, 3), QColor(120, 255, 120), 0.9);
}

// The two makers' splash pictures differ in colour; the logo is the program's.
struct BrandingLook {
    QColor dark;
    QColor light;
};

const BrandingLook* LookOf(int branding) {
    static const BrandingLook kLooks[2] = {
        {QColor(20, 60, 140), QColor(110, 160, 230)},
        {QColor(10, 100, 60), QColor(120, 200, 140)},
    };
    return branding == 1 || branding == 2 ? &kLooks[branding - 1] : nullptr;
}

// A soft light rim around everything drawn: invisible on a light toolbar, it keeps the dark
// outlines and lines of a picture readable on a dark one.
QPixmap WithHalo(const QPixmap& picture) {
    QImage src = picture.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    src.setDevicePixelRatio(1.0);  // pixel for pixel onto the rim
    QImage halo(src.size(), QImage::Format_ARGB32_Premultiplied);
    halo.fill(Qt::transparent);
    const int reach = std::max(1, qRound(picture.devicePixelRatio()));
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            int alpha = 0;
            for (int dy = -reach; dy <= reach; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    const int sx = x + dx, sy = y + dy;
                    if (sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height()) {
                        alpha = std::max(alpha, qAlpha(src.pixel(sx, sy)));
                    }
                }
            }
            const int a = alpha * 3 / 5;
            halo.setPixel(x, y, qRgba(a, a, a, a));  // premultiplied white
        }
    }
    QPainter p(&halo);
    p.drawImage(0, 0, src);
    p.end();
    QPixmap out = QPixmap::fromImage(halo);
    out.setDevicePixelRatio(picture.devicePixelRatio());
    return out;
}

QPixmap NewPixmap(QSize logical, qreal dpr) {
    QPixmap pm(QSize(qRound(logical.width() * dpr), qRound(logical.height() * dpr)));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

}  // namespace

Picture CommandPicture(int commandId) {
    for (const CommandPictureEntry& e : kCommandPictures) {
        if (e.id == commandId) {
            return e.picture;
        }
    }
    return Picture::None;
}

QPixmap DrawPicture(Picture picture, QSize logicalSize, qreal devicePixelRatio) {
    QPixmap pm = NewPixmap(logicalSize, devicePixelRatio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (picture == Picture::LampOn || picture == Picture::LampOff) {
        DrawLamp(p, logicalSize, picture == Picture::LampOn);
    } else if (picture == Picture::AppIcon) {
        DrawLogo(p, std::min(logicalSize.width(), logicalSize.height()));
    } else {
        // Toolbar pictures are designed on the 16 by 15 grid.
        p.scale(logicalSize.width() / 16.0, logicalSize.height() / 15.0);
        DrawTool(p, picture);
        p.end();
        return WithHalo(pm);
    }
    return pm;
}

QIcon ToolIcon(Picture picture) {
    QIcon icon;
    if (picture == Picture::None) {
        return icon;
    }
    for (qreal dpr : {1.0, 2.0}) {
        icon.addPixmap(DrawPicture(picture, kToolPictureSize, dpr));
        if (picture == Picture::SecondariesOff) {
            // The checked button shows the secondaries picture.
            icon.addPixmap(DrawPicture(Picture::SecondariesOn, kToolPictureSize, dpr),
                           QIcon::Normal, QIcon::On);
        }
    }
    return icon;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(DrawPicture(Picture::AppIcon, QSize(side, side), 1.0));
    }
    return icon;
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Link, QColor(90, 160, 255));
    p.setColor(QPalette::Highlight, QColor(60, 110, 200));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(75, 75, 80));
    p.setColor(QPalette::Midlight, QColor(60, 60, 64));
    p.setColor(QPalette::Mid, QColor(35, 35, 38));
    p.setColor(QPalette::Dark, QColor(20, 20, 22));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, QColor(125, 125, 125));
    }
    return p;
}

QPixmap AboutPicture(int branding, qreal devicePixelRatio) {
    const BrandingLook* look = LookOf(branding);
    if (look == nullptr) {
        return {};
    }
    QPixmap pm = NewPixmap(QSize(48, 48), devicePixelRatio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawLogo(p, 48);
    return pm;
}

QPixmap SplashPicture(int branding, qreal devicePixelRatio) {
    const BrandingLook* look = LookOf(branding);
    if (look == nullptr) {
        return {};
    }
    const QSize size(420, 240);
    QPixmap pm = NewPixmap(size, devicePixelRatio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, look->dark);
    g.setColorAt(1, look->dark.darker(200));
    p.setPen(Pen(look->light, 2));
    p.setBrush(g);
    p.drawRect(QRectF(1, 1, size.width() - 2, size.height() - 2));

    p.save();
    p.translate(24, 24);
    DrawLogo(p, 72);
    p.restore();
    DrawText(p, QRectF(110, 28, 290, 44), QStringLiteral("KVR View"), Qt::white, 34);
    DrawText(p, QRectF(110, 72, 290, 24), QStringLiteral("Power transducer configuration"),
             look->light.lighter(130), 14, false);

    // A transducer on its rail, with the live values running across.
    p.save();
    p.translate(40, 120);
    p.scale(5.0, 5.0);
    DrawUnit(p, QRectF(0.5, 6.5, 20, 11));
    p.restore();
    DrawSine(p, QRectF(170, 130, 220, 70), look->light, 3);
    DrawSine(p, QRectF(195, 140, 220 - 25, 50), QColor(255, 255, 255, 140), 2);
    return pm;
}

}  // namespace kvr::app
