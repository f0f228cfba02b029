// The picture window: the JPEG picture Graphviz rendered from the DOT result, saved on request when closed.
#pragma once

#include <QDialog>
#include <QLabel>
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

    QScrollArea* ScrollBox;
    QWidget* Canvas;
    QLabel* Image1;
    QLabel* Label1;  // keeps the scrollable area at least 10000 by 7500 pixels

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();

    quarvo::AppContext& app_;
    quarvo::RgbPicture picture_;
};
