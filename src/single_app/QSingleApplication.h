// A QApplication that finds a running copy of the same executable on a local socket named after
// the executable's file name, or else becomes that copy's listener.
#pragma once

#include <QApplication>

class QLocalServer;

class QSingleApplication : public QApplication
{
    Q_OBJECT
public:
    QSingleApplication(int& argc, char** argv);

    // Another copy answered at construction.
    bool isRunning() const { return m_blRunning; }

    // Hands _qstrMessage to the running copy; false when there is none or it does not answer.
    bool sendMessage(const QString& _qstrMessage);

signals:
    void SigGetNewConnect();
    void SigMessageReceived(QString _qstrRecMsg);

private slots:
    void SlotNewLocalConnection();

private:
    void Listen();

    bool m_blRunning = false;
    QLocalServer* m_pLocalServer = nullptr;
    QString m_qstrServerName;
};
