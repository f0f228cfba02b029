// The picture window: the JPEG picture Graphviz rendered from the DOT result, saved on request when closed.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QString>

#include "app/AppContext.h"
#include "app/toolchain/JpegCodec.h"

class TSTEMJPG : public QDialog {
    Q_OBJECT
public:
    explicit TSTEMJPG(quarvo::AppContext& app);

    // Loads a JPEG file into Image1; false (with a message shown) when it cannot be read.
    bool LoadPicture(const QString& path);
    const quarvo::RgbPicture& Picture() const { return picture_; }

    // The scale the picture is shown at (1: its own size), and the commands that change it.
    double Zoom() const { return zoom_; }
    void SetZoom(double zoom);
    void ZoomIn() { SetZoom(zoom_ * 1.25); }
    void ZoomOut() { SetZoom(zoom_ / 1.25); }
    // The scale at which the whole picture fits the visible area.
    void FitToWindow();

    QScrollArea* ScrollBox;
    QWidget* Canvas;
    QLabel* Image1;
    QLabel* Label1;  // keeps the scrollable area at least 10000 by 7500 pixels

    // Every way of closing (the window's button, Escape, a program's close) goes
    // through here: the question about saving, then "&Visualiser" offered again.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();

    quarvo::AppContext& app_;
    quarvo::RgbPicture picture_;
    QPixmap original_;
    double zoom_ = 1.0;
};
