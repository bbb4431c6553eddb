// What a user would see on the X server of DISPLAY: which top-level windows are mapped under which
// title, and their window types. No window manager runs, so top-level windows are the root's children.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

class CLS_XView
{
public:
    // The first mapped top-level window titled _qstrTitle, or 0.
    Window ViewableWindow(const QString& _qstrTitle) const
    {
        Window root = 0, parent = 0, found = 0;
        Window* pChildren = nullptr;
        unsigned int uiCount = 0;
        if (!m_pDisplay || !XQueryTree(m_pDisplay.get(), DefaultRootWindow(m_pDisplay.get()), &root, &parent,
                                       &pChildren, &uiCount)) {
            return 0;
        }
        for (unsigned int i = 0; i < uiCount && found == 0; ++i) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(m_pDisplay.get(), pChildren[i], &attributes) &&
                attributes.map_state == IsViewable &&
                Property(pChildren[i], "_NET_WM_NAME", AnyPropertyType).value(0) == _qstrTitle) {
                found = pChildren[i];
            }
        }
        XFree(pChildren);
        return found;
    }

    // The window's type names, as a task bar reads them.
    QStringList WindowTypes(Window _window) const
    {
        return Property(_window, "_NET_WM_WINDOW_TYPE", XA_ATOM);
    }

private:
    // A UTF-8 text property as one entry, or an atom list as the atoms' names.
    QStringList Property(Window _window, const char* _pcName, Atom _atomType) const
    {
        Atom atomType = None;
        int iFormat = 0;
        unsigned long ulItems = 0, ulAfter = 0;
        unsigned char* pucData = nullptr;
        QStringList qstrlstValues;
        if (XGetWindowProperty(m_pDisplay.get(), _window, XInternAtom(m_pDisplay.get(), _pcName, False), 0,
                               1024, False, _atomType, &atomType, &iFormat, &ulItems, &ulAfter,
                               &pucData) != Success ||
            !pucData) {
            return qstrlstValues;
        }
        for (unsigned long i = 0; atomType == XA_ATOM && i < ulItems; ++i) {
            char* pcAtom = XGetAtomName(m_pDisplay.get(), reinterpret_cast<const Atom*>(pucData)[i]);
            qstrlstValues.append(QString::fromLatin1(pcAtom));
            XFree(pcAtom);
        }
        if (atomType != XA_ATOM) {
            qstrlstValues.append(
                QString::fromUtf8(reinterpret_cast<const char*>(pucData), static_cast<int>(ulItems)));
        }
        XFree(pucData);
        return qstrlstValues;
    }

    std::unique_ptr<Display, int (*)(Display*)> m_pDisplay{XOpenDisplay(nullptr), XCloseDisplay};
};
