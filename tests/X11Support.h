// What a user would see on the X server of DISPLAY: which top-level windows carry which title,
// their window types, and the state a window manager gave them.
#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <memory>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

class CLS_XView
{
public:
    // A mapped and viewable window titled _qstrTitle, 0 when there is none.
    Window ViewableWindow(const QString& _qstrTitle) const
    {
        for (const Window window : Titled(_qstrTitle)) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(m_pDisplay.get(), window, &attributes) &&
                attributes.map_state == IsViewable) {
                return window;
            }
        }
        return 0;
    }
    // The WM_STATE of each window titled _qstrTitle: 1 normal, 3 iconic, 0 withdrawn.
    QList<long> WmStates(const QString& _qstrTitle) const
    {
        QList<long> lstStates;
        for (const Window window : Titled(_qstrTitle)) {
            ReadProperty(window, "WM_STATE", AnyPropertyType,
                         [&lstStates](Atom, const unsigned char* _pucData, unsigned long _ulItems) {
                             if (_ulItems > 0) {
                                 lstStates.append(reinterpret_cast<const long*>(_pucData)[0]);
                             }
                         });
        }
        return lstStates;
    }

    // Whether a window manager runs: it holds the screen's manager selection while it lives.
    bool HasWindowManager() const
    {
        return XGetSelectionOwner(m_pDisplay.get(), XInternAtom(m_pDisplay.get(), "WM_S0", False)) != None;
    }

    // A click of the left button at a point of a window, as the X server gets it from a mouse. The
    // server places the point: the program may not know yet where a window manager put its window.
    void Click(Window _window, const QPoint& _qptWindow) const
    {
        Display* pDisplay = m_pDisplay.get();
        int iX = 0, iY = 0;
        Window child = 0;
        XTranslateCoordinates(pDisplay, _window, DefaultRootWindow(pDisplay), _qptWindow.x(), _qptWindow.y(),
                              &iX, &iY, &child);
        XTestFakeMotionEvent(pDisplay, -1, iX, iY, CurrentTime);
        XTestFakeButtonEvent(pDisplay, Button1, True, CurrentTime);
        XTestFakeButtonEvent(pDisplay, Button1, False, CurrentTime);
        XFlush(pDisplay);
    }

    // The window's type names, as a task bar reads them.
    QStringList WindowTypes(Window _window) const
    {
        return Property(_window, "_NET_WM_WINDOW_TYPE", XA_ATOM);
    }

private:
    // Searched through the whole tree, since a window manager puts top-level windows into frames of its own.
    QList<Window> Titled(const QString& _qstrTitle, Window _window = 0) const
    {
        QList<Window> lstFound;
        Window root = 0, parent = 0;
        Window* pChildren = nullptr;
        unsigned int uiCount = 0;
        if (!m_pDisplay ||
            !XQueryTree(m_pDisplay.get(), _window != 0 ? _window : DefaultRootWindow(m_pDisplay.get()), &root,
                        &parent, &pChildren, &uiCount)) {
            return lstFound;
        }
        for (unsigned int i = 0; i < uiCount; ++i) {
            if (Property(pChildren[i], "_NET_WM_NAME", AnyPropertyType).value(0) == _qstrTitle) {
                lstFound.append(pChildren[i]);
            }
            lstFound += Titled(_qstrTitle, pChildren[i]);
        }
        XFree(pChildren);
        return lstFound;
    }

    // Hands the property's type, data and item count to _use when the window has it.
    template <typename F>
    void ReadProperty(Window _window, const char* _pcName, Atom _atomType, F _use) const
    {
        Atom atomType = None;
        int iFormat = 0;
        unsigned long ulItems = 0, ulAfter = 0;
        unsigned char* pucData = nullptr;
        if (XGetWindowProperty(m_pDisplay.get(), _window, XInternAtom(m_pDisplay.get(), _pcName, False), 0,
                               1024, False, _atomType, &atomType, &iFormat, &ulItems, &ulAfter,
                               &pucData) == Success &&
            pucData) {
            _use(atomType, pucData, ulItems);
        }
        if (pucData) {
            XFree(pucData);
        }
    }

    // A UTF-8 text property as one entry, or an atom list as the atoms' names.
    QStringList Property(Window _window, const char* _pcName, Atom _atomType) const
    {
        QStringList qstrlstValues;
        ReadProperty(
            _window, _pcName, _atomType,
            [this, &qstrlstValues](Atom _atomGot, const unsigned char* _pucData, unsigned long _ulItems) {
                if (_atomGot != XA_ATOM) {
                    qstrlstValues.append(QString::fromUtf8(reinterpret_cast<const char*>(_pucData),
                                                           static_cast<int>(_ulItems)));
                    return;
                }
                for (unsigned long i = 0; i < _ulItems; ++i) {
                    char* pcAtom = XGetAtomName(m_pDisplay.get(), reinterpret_cast<const Atom*>(_pucData)[i]);
                    qstrlstValues.append(QString::fromLatin1(pcAtom));
                    XFree(pcAtom);
                }
            });
        return qstrlstValues;
    }

    std::unique_ptr<Display, int (*)(Display*)> m_pDisplay{XOpenDisplay(nullptr), XCloseDisplay};
};
