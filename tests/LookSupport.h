// Renders under each look (no style sheet, then each skin): a styled render must stand apart from
// the unstyled one and from the other skin's, so a sheet that no longer reaches a window is seen.
#pragma once

#include "OrbApplication.h"
#include "widgets/CLS_MessageBox.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QStringList>

// "none" names no installed skin: no style sheet at all.
const QStringList g_qstrlstLooks{QStringLiteral("none"), QStringLiteral("skinOne"),
                                 QStringLiteral("skinTwo")};

// Sets the look as start-up does: the application style sheet, the skin's pictures, the message boxes.
inline void ApplyLook(const QString& _qstrSkin)
{
    QFile qfileSheet(QCoreApplication::applicationDirPath() + QStringLiteral("/LumacastFile/Resource/") +
                     _qstrSkin + QStringLiteral("/qss/lumacast_style.qss"));
    qApp->setStyleSheet(qfileSheet.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfileSheet.readAll())
                                                             : QString());
    OrbApplication::Instance()->SetSkin(_qstrSkin);
    CLS_MessageBox::SetSkin(_qstrSkin);
}

// Share of the pixels (every other row and column) that differ; 1 for pictures of different sizes.
inline double Difference(const QImage& _qimageA, const QImage& _qimageB)
{
    if (_qimageA.size() != _qimageB.size() || _qimageA.isNull()) {
        return 1.0;
    }
    int iDiffer = 0, iAll = 0;
    for (int y = 0; y < _qimageA.height(); y += 2) {
        for (int x = 0; x < _qimageA.width(); x += 2, ++iAll) {
            iDiffer += _qimageA.pixel(x, y) != _qimageB.pixel(x, y);
        }
    }
    return double(iDiffer) / iAll;
}

// Saves both skins' renders as looks/<skin>_<name>.png for review; whether each stands apart from
// the unstyled render and from the other skin's by more than a tenth of its pixels.
inline bool StandApart(const QString& _qstrName, const QImage& _qimageNone, const QImage& _qimageOne,
                       const QImage& _qimageTwo)
{
    const QString qstrDir = QCoreApplication::applicationDirPath() + QStringLiteral("/looks/");
    _qimageOne.save(qstrDir + QStringLiteral("skinOne_") + _qstrName + QStringLiteral(".png"));
    _qimageTwo.save(qstrDir + QStringLiteral("skinTwo_") + _qstrName + QStringLiteral(".png"));
    return Difference(_qimageOne, _qimageNone) > 0.1 && Difference(_qimageTwo, _qimageNone) > 0.1 &&
           Difference(_qimageOne, _qimageTwo) > 0.1;
}
