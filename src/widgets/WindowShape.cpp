#include "WindowShape.h"

#include <QBitmap>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QWidget>

// Last: Xlib's macros clash with Qt's names.
#include <X11/Xlib.h>

#include <memory>

namespace {

// Whether transparent pixels of a window show what lies beneath; true off X11.
bool IsCompositing()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return true;
    }
    const std::unique_ptr<Display, int (*)(Display*)> pDisplay(XOpenDisplay(nullptr), XCloseDisplay);
    if (!pDisplay) {
        return true;
    }
    // A compositing manager owns this selection for the screen it composites.
    const QByteArray qbaSelection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(pDisplay.get()));
    return XGetSelectionOwner(pDisplay.get(), XInternAtom(pDisplay.get(), qbaSelection.constData(), False)) !=
           0;
}

} // namespace

void ShapeWhereNotComposited(QWidget* _pWindow)
{
    _pWindow->clearMask();
    if (IsCompositing()) {
        return;
    }
    const QImage qimage = _pWindow->grab().toImage();
    _pWindow->setMask(QBitmap::fromImage(qimage.createAlphaMask()));
}
