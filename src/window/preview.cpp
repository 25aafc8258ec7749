#include "window/preview.h"

#include "environment/errors.h"
#include "platform/files.h"
#include "window/kalvia.h"

#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <cmath>

namespace window {

using environment::Handler;

namespace {

// The border of a picture box: 30 twips on each side.
constexpr int kBorderTwips = 60;

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

QRect fitIntoPreview(int W, int H, int w, int h)
{
    int dw = 0;
    int dh = 0;
    // The ratios are compared in single precision.
    if (static_cast<float>(w) / static_cast<float>(h) < static_cast<float>(W) / static_cast<float>(H)) {
        dw = w;
        dh = roundHalfEven(static_cast<double>(H) * dw / W);
    } else {
        dh = h;
        dw = roundHalfEven(static_cast<double>(W) * dh / H);
    }
    const int x = roundHalfEven((w - dw) / 2.0);
    const int y = roundHalfEven((h - dh) / 2.0);
    return {x, y, dw, dh};
}

int twipsToPixels(int twips)
{
    return roundHalfEven(static_cast<double>(twips) / kTwipsPerPixel);
}

void Kalvia::clearServoPic()
{
    const QSize inside = ServoPic->contentsRect().size();
    if (m_servoPicDrawing.size() != inside)
        m_servoPicDrawing = QPixmap(inside);
    m_servoPicDrawing.fill(ServoPic->palette().color(ServoPic->backgroundRole()));
    ServoPic->setPixmap(m_servoPicDrawing);
}

void Kalvia::ShowServoPicture(const QString& path)
{
    if (path == m_lastServoPicture)
        return; // drawn already
    if (path.isEmpty()) {
        clearServoPic();
        m_lastServoPicture.clear();
        return; // the enlarged picture keeps what it holds
    }

    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        clearServoPic();
        m_lastServoPicture.clear();
        if (!platform::fileExists(path))
            environment::raise(environment::ErrFileNotFound, path);
        environment::raise(environment::ErrInvalidPicture, path);
    }
    // The enlarged view holds the picture and sizes itself to it, border included.
    PictureServo->setPixmap(QPixmap::fromImage(picture));
    PictureServo->resize(picture.width() + twipsToPixels(kBorderTwips), picture.height() + twipsToPixels(kBorderTwips));

    const int W = PictureServo->width() * kTwipsPerPixel - kBorderTwips;
    const int H = PictureServo->height() * kTwipsPerPixel - kBorderTwips;
    const int w = ServoPic->width() * kTwipsPerPixel - kBorderTwips;
    const int h = ServoPic->height() * kTwipsPerPixel - kBorderTwips;
    const QRect place = fitIntoPreview(W, H, w, h);
    const QRect target(twipsToPixels(place.x()), twipsToPixels(place.y()), twipsToPixels(place.width()),
                       twipsToPixels(place.height()));
    const QRect source(0, 0, twipsToPixels(W), twipsToPixels(H));

    clearServoPic();
    {
        QPainter painter(&m_servoPicDrawing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, picture, source);
    }
    ServoPic->setPixmap(m_servoPicDrawing);
    m_lastServoPicture = path;
}

// Enlarges: the picture at its own size at the top left, the slot rows, options and buttons hidden.
void Kalvia::ImageServo_Click()
{
    Handler h(m_ctx, QStringLiteral("ImageServo_Click"));
    if (m_help.HelpMode) {
        h([&] { texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("ServoPic"))); });
        return;
    }
    h([&] { PictureServo->move(twipsToPixels(120), twipsToPixels(150)); });
    h([&] { ServoPic->hide(); });
    h([&] {
        PictureServo->raise();
        PictureServo->show();
    });
    h([&] { FrameInputs->hide(); });
    h([&] { FrameBobbinChange->hide(); });
    h([&] { CommandQuest->hide(); });
    h([&] { CommandOK->hide(); });
    h([&] { CommandCancel->hide(); });
}

// Back to the normal view.
void Kalvia::PictureServo_Click()
{
    Handler h(m_ctx, QStringLiteral("PictureServo_Click"));
    h([&] { FrameInputs->show(); });
    h([&] { FrameBobbinChange->show(); });
    h([&] { PictureServo->hide(); });
    h([&] { ServoPic->show(); });
    h([&] { CommandQuest->show(); });
    h([&] { CommandOK->show(); });
    h([&] { CommandCancel->show(); });
}

} // namespace window
