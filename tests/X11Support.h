// A private X server for tests and benchmarks that need a real window system, and what a user
// would see on it: which windows are mapped, under which title, and their pixels.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Starts "Xvfb" on a free display and points DISPLAY at it, before any application object exists.
// Ends it when destroyed.
class CLS_PrivateXServer
{
public:
    CLS_PrivateXServer()
    {
        int aiPipe[2];
        if (pipe(aiPipe) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(aiPipe[0]);
            const std::string strFd = std::to_string(aiPipe[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", strFd.c_str(), "-screen", "0", "1600x1000x24", "-nolisten",
                   "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(aiPipe[1]);
        char acNumber[16] = {};
        const ssize_t iRead = m_pid > 0 ? read(aiPipe[0], acNumber, sizeof(acNumber) - 1) : -1;
        close(aiPipe[0]);
        if (iRead > 0) {
            m_qstrDisplay = QLatin1Char(':') + QString::fromLatin1(acNumber).trimmed();
            qputenv("DISPLAY", m_qstrDisplay.toLatin1());
        }
    }
    ~CLS_PrivateXServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    CLS_PrivateXServer(const CLS_PrivateXServer&) = delete;
    CLS_PrivateXServer& operator=(const CLS_PrivateXServer&) = delete;

    QString Display() const { return m_qstrDisplay; }

private:
    pid_t m_pid = -1;
    QString m_qstrDisplay;
};

// A connection of the test's own to the X server of DISPLAY.
class CLS_XView
{
public:
    CLS_XView() : m_pDisplay(XOpenDisplay(nullptr)) {}
    ~CLS_XView()
    {
        if (m_pDisplay) {
            XCloseDisplay(m_pDisplay);
        }
    }
    CLS_XView(const CLS_XView&) = delete;
    CLS_XView& operator=(const CLS_XView&) = delete;

    // The first mapped window titled _qstrTitle, or 0.
    Window ViewableWindow(const QString& _qstrTitle) const
    {
        return m_pDisplay ? Find(DefaultRootWindow(m_pDisplay), _qstrTitle) : 0;
    }

    // What the window shows on the screen.
    QImage Pixels(Window _window) const
    {
        XWindowAttributes attributes;
        if (!m_pDisplay || !XGetWindowAttributes(m_pDisplay, _window, &attributes)) {
            return QImage();
        }
        XImage* pXImage =
            XGetImage(m_pDisplay, _window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
        if (!pXImage) {
            return QImage();
        }
        QImage qimage(attributes.width, attributes.height, QImage::Format_RGB32);
        for (int y = 0; y < attributes.height; ++y) {
            for (int x = 0; x < attributes.width; ++x) {
                qimage.setPixel(x, y, static_cast<QRgb>(XGetPixel(pXImage, x, y)));
            }
        }
        XDestroyImage(pXImage);
        return qimage;
    }

    // The names of the atoms in the window's property _pcProperty (a window type, a state).
    QStringList AtomNames(Window _window, const char* _pcProperty) const
    {
        Atom atomType = None;
        int iFormat = 0;
        unsigned long ulItems = 0, ulAfter = 0;
        unsigned char* pucData = nullptr;
        QStringList qstrlstNames;
        if (XGetWindowProperty(m_pDisplay, _window, XInternAtom(m_pDisplay, _pcProperty, False), 0, 64, False,
                               XA_ATOM, &atomType, &iFormat, &ulItems, &ulAfter, &pucData) == Success &&
            pucData) {
            const Atom* pAtoms = reinterpret_cast<const Atom*>(pucData);
            for (unsigned long i = 0; i < ulItems; ++i) {
                char* pcName = XGetAtomName(m_pDisplay, pAtoms[i]);
                qstrlstNames.append(QString::fromLatin1(pcName));
                XFree(pcName);
            }
            XFree(pucData);
        }
        return qstrlstNames;
    }

private:
    QString Title(Window _window) const
    {
        Atom atomType = None;
        int iFormat = 0;
        unsigned long ulItems = 0, ulAfter = 0;
        unsigned char* pucData = nullptr;
        const Atom atomName = XInternAtom(m_pDisplay, "_NET_WM_NAME", False);
        QString qstrTitle;
        if (XGetWindowProperty(m_pDisplay, _window, atomName, 0, 1024, False, AnyPropertyType, &atomType,
                               &iFormat, &ulItems, &ulAfter, &pucData) == Success &&
            pucData) {
            qstrTitle = QString::fromUtf8(reinterpret_cast<const char*>(pucData), static_cast<int>(ulItems));
            XFree(pucData);
        }
        return qstrTitle;
    }

    Window Find(Window _window, const QString& _qstrTitle) const
    {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(m_pDisplay, _window, &attributes) && attributes.map_state == IsViewable &&
            Title(_window) == _qstrTitle) {
            return _window;
        }
        Window root = 0, parent = 0;
        Window* pChildren = nullptr;
        unsigned int uiCount = 0;
        Window found = 0;
        if (XQueryTree(m_pDisplay, _window, &root, &parent, &pChildren, &uiCount)) {
            for (unsigned int i = 0; i < uiCount && found == 0; ++i) {
                found = Find(pChildren[i], _qstrTitle);
            }
            XFree(pChildren);
        }
        return found;
    }

    Display* m_pDisplay;
};
