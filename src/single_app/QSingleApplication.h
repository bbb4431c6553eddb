// A QApplication that finds a running copy of the same executable on a local socket named after
// the executable's file name, or else becomes that copy's listener.
#pragma once

#include <QApplication>

#include <functional>

class QLocalServer;

class QSingleApplication : public QApplication
{
    Q_OBJECT
public:
    QSingleApplication(int& argc, char** argv);

    // Another copy answered at the last decision.
    bool isRunning() const { return m_blRunning; }
    // This copy holds the local server name.
    bool isListening() const;

    // Decides again whether another copy holds the name, and takes the name when none does. With
    // _fnEndRunning, a copy that holds it is ended first, so that this one takes its place. True
    // when another copy still holds the name.
    bool CheckRunning(const std::function<void()>& _fnEndRunning = {});

    // Hands _qstrMessage to the running copy; false when there is none or it does not answer.
    bool sendMessage(const QString& _qstrMessage);

signals:
    void SigGetNewConnect();
    void SigMessageReceived(QString _qstrRecMsg);

private slots:
    void SlotNewLocalConnection();

private:
    bool ProbeRunning() const;
    void Listen();

    bool m_blRunning = false;
    QLocalServer* m_pLocalServer = nullptr;
    QString m_qstrServerName;
};
